#include "convert/formconvert.h"

#include "common/folderpath.h"
#include "common/localfile.h"
#include "convert/loudnessbox.h"
#include "convert/namepattern.h"
#include "convert/namepreview.h"
#include "convert/namingbox.h"
#include "convert/parallelbatch.h"
#include "convert/runprogress.h"
#include "widgets/artwork.h"
#include "widgets/folderbrowser.h"
#include "widgets/named.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

namespace tunevale {

namespace {

const QString kIdleCaption = QStringLiteral(" Tunevale");
// Rows whose output names the preview shows.
constexpr int kPreviewRows = 3;

// A label that reacts to clicks like a button.
class ClickableLabel final : public QLabel {
public:
    ClickableLabel(std::function<void()> onClick, QWidget* parent)
        : QLabel(parent)
        , m_onClick(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        // Looks like a link, since it opens the format's settings as Config does.
        setStyleSheet(QStringLiteral("color: palette(link); text-decoration: underline;"));
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QLabel::mouseReleaseEvent(event);
        m_onClick();
    }

private:
    std::function<void()> m_onClick;
};

QString sameAsInputText()
{
    return FormConvert::tr("[Same as input path]");
}

} // namespace

// Shows the run in the dialog and lets the event loop turn between blocks.
class FormConvert::RunObserver final : public BatchObserver {
public:
    explicit RunObserver(FormConvert& form)
        : m_form(form)
        , m_progress(fileSizes(form.m_paths))
    {
        m_elapsed.start();
        showRunProgress();
    }

    // Where the outputs went: the first written output's folder.
    const QString& outputFolder() const { return m_outputFolder; }
    void showRunProgress() { m_form.m_runLabel->setText(m_progress.text(m_elapsed.elapsed())); }

    void logLine(const QString& line) override
    {
        // A long line (an error's reason, a deep path) is cut at the list's edge.
        auto* item = new QListWidgetItem(line, m_form.m_log);
        item->setToolTip(line);
        m_form.m_log->scrollToBottom();
    }
    void statusChanged(const QString& status) override { m_form.m_statusLabel->setText(status); }
    // The whole run's progress. A progress bar showing its percentage repaints at once on
    // every change, so the value reaches the bar at the event loop's turns only.
    void progressChanged(double percent) override
    {
        m_percent = static_cast<int>(percent);
        m_progress.setRunPercent(percent);
    }
    void rowFinished(const RowResult& result) override
    {
        m_progress.fileFinished();
        if (m_outputFolder.isEmpty() && (result.saved || result.skipped))
            m_outputFolder = QFileInfo(result.output).absolutePath();
    }
    // Blocks come faster than a person can see; turns of the event loop (and the repaints
    // they bring) at about 40 a second keep the window live at a fraction of the cost.
    void yield() override
    {
        if (m_sinceYield.isValid() && m_sinceYield.elapsed() < kYieldIntervalMs)
            return;
        m_form.m_progressBar->setValue(m_percent);
        showRunProgress();
        QCoreApplication::processEvents();
        m_sinceYield.start();
    }
    bool stopRequested() const override { return !m_form.m_flgConvert; }
    void runningChanged(bool running) override
    {
        if (running)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    // The output choice and the tag box as they are when the row begins.
    BatchOptions nextRowOptions(const BatchOptions& current) override
    {
        BatchOptions options = current;
        options.outputFolder = m_form.m_settings.rowOutputFolder();
        options.copyTags = m_form.m_settings.CopyTags;
        return options;
    }

private:
    static QList<qint64> fileSizes(const QStringList& paths)
    {
        QList<qint64> sizes;
        for (const QString& path : paths)
            sizes.append(LocalFileInfo::of(path).size);
        return sizes;
    }

    static constexpr qint64 kYieldIntervalMs = 25;
    FormConvert& m_form;
    QElapsedTimer m_sinceYield;
    int m_percent = 0;
    RunProgress m_progress;
    QElapsedTimer m_elapsed;
    QString m_outputFolder;
};

FormConvert::FormConvert(QWidget* owner, QStringList paths, const EncoderSettings& settings,
                         SettingsEditor editSettings)
    : QDialog(owner)
    , m_paths(std::move(paths))
    , m_settings(settings)
    , m_editSettings(std::move(editSettings))
    , m_jobs(QThread::idealThreadCount())
    , m_openFolder(
          [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); })
{
    setWindowTitle(kIdleCaption);
    setWindowIcon(applicationIcon());
    setModal(true);

    auto* outputFrame = named(new QGroupBox(tr("Output path"), this), u"Frame2");
    m_sameFolderOption = named(new QRadioButton(tr("Same as input path"), outputFrame), u"Option1");
    m_chosenFolderOption = named(new QRadioButton(tr("Specify a path"), outputFrame), u"Option2");
    m_sameFolderOption->setChecked(true);
    m_browseButton = named(new QPushButton(tr("Browse..."), outputFrame), u"CmdBrowse");
    m_browseButton->setEnabled(false);
    m_outputText = named(new QLineEdit(sameAsInputText(), outputFrame), u"TextOutput");
    m_outputText->setReadOnly(true);
    auto* outputLayout = new QGridLayout(outputFrame);
    outputLayout->addWidget(m_sameFolderOption, 0, 0);
    outputLayout->addWidget(m_chosenFolderOption, 0, 1);
    outputLayout->addWidget(m_outputText, 1, 0, 1, 2);
    outputLayout->addWidget(m_browseButton, 1, 2);
    outputLayout->setColumnStretch(1, 1);

    m_formatFrame = named(new QGroupBox(tr("Convert to WMA"), this), u"Frame1");
    m_summaryLabel =
        named(new ClickableLabel([this] { CmdSet_Click(); }, m_formatFrame), u"LabelFomartStr");
    m_summaryLabel->setText(tr("Convert to WMA"));
    m_configButton = named(new QPushButton(tr("Config"), m_formatFrame), u"CmdSet");
    m_copyTagsBox = named(new QCheckBox(tr("Try to get audio information (title, artist, album, "
                                           "year, etc.) from the source file and write them "
                                           "into the destination file."),
                                        m_formatFrame),
                          u"Check1");
    m_copyTagsBox->setChecked(true);
    auto* formatLayout = new QGridLayout(m_formatFrame);
    formatLayout->addWidget(named(new QLabel(tr("Sound quality:"), m_formatFrame), u"SkinLabel1"),
                            0, 0);
    formatLayout->addWidget(m_summaryLabel, 0, 1);
    formatLayout->addWidget(m_configButton, 0, 2);
    formatLayout->addWidget(m_copyTagsBox, 1, 0, 1, 3);
    formatLayout->setColumnStretch(1, 1);

    m_namingBox = new NamingBox(this);
    m_namingBox->setChoice(m_settings.Naming, m_settings.IfTaken);
    m_loudnessBox = new LoudnessBox(this);
    m_loudnessBox->setChoice(m_settings.LoudnessChoice);

    m_log = named(new QListWidget(this), u"List1");
    m_log->setAccessibleName(tr("Conversion log"));
    m_log->setAccessibleDescription(tr("One line for each file converted, skipped or failed"));
    m_statusLabel = named(new QLabel(tr("Click the \"Convert\" button to start converting."), this),
                          u"LabelStatus");
    m_progressBar = named(new QProgressBar(this), u"ProgressConvert");
    m_progressBar->setAccessibleName(tr("Conversion progress"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_runLabel = named(new QLabel(this), u"LabelRun");
    m_runLabel->hide();

    m_openFolderButton = named(new QPushButton(tr("Open Output Folder"), this), u"CmdOpenFolder");
    m_openFolderButton->hide();
    m_convertButton = named(new QPushButton(tr("Convert"), this), u"CmdConvert");
    m_stopButton = named(new QPushButton(tr("Stop"), this), u"CmdStop");
    m_closeButton = named(new QPushButton(tr("Close"), this), u"CmdClose");
    m_convertButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_statusLabel, 1);
    buttons->addWidget(m_openFolderButton);
    buttons->addWidget(m_convertButton);
    buttons->addWidget(m_stopButton);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(outputFrame);
    layout->addWidget(m_formatFrame);
    layout->addWidget(m_namingBox);
    layout->addWidget(m_loudnessBox);
    layout->addWidget(m_log, 1);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_runLabel);
    layout->addLayout(buttons);
    resize(620, 680);

    connect(m_sameFolderOption, &QRadioButton::clicked, this, &FormConvert::Option1_Click);
    connect(m_chosenFolderOption, &QRadioButton::clicked, this, &FormConvert::Option2_Click);
    connect(m_browseButton, &QPushButton::clicked, this, &FormConvert::CmdBrowse_Click);
    connect(m_copyTagsBox, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.CopyTags = checked; });
    connect(m_configButton, &QPushButton::clicked, this, &FormConvert::CmdSet_Click);
    connect(m_namingBox, &NamingBox::changed, this, [this] {
        m_settings.Naming = m_namingBox->rules();
        m_settings.IfTaken = m_namingBox->ifTaken();
        updateNamePreview();
    });
    connect(m_loudnessBox, &LoudnessBox::changed, this,
            [this] { m_settings.LoudnessChoice = m_loudnessBox->choice(); });
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(m_convertButton, &QPushButton::clicked, this, &FormConvert::CmdConvert_Click);
    connect(m_stopButton, &QPushButton::clicked, this, &FormConvert::CmdStop_Click);
    connect(m_openFolderButton, &QPushButton::clicked, this, &FormConvert::CmdOpenFolder_Click);

    // Load: the output choice and the tag box start afresh at every opening.
    UpdateFormatSummary();
    m_flgConvert = false;
    m_settings.UseOutputFolder = false;
    m_settings.CopyTags = true;
    m_namingBox->setTreeAvailable(false);
    updateNamePreview();
}

void FormConvert::setRelativeFolders(const QStringList& relativeFolders)
{
    m_relativeFolders = relativeFolders;
    updateNamePreview();
}

QString FormConvert::patternProblem() const
{
    const QString& pattern = m_settings.Naming.pattern;
    return pattern.isEmpty() ? QString() : NamePattern(pattern).problem();
}

void FormConvert::updateNamePreview()
{
    if (const QString problem = patternProblem(); !problem.isEmpty()) {
        m_namingBox->showPreview({problem});
        return;
    }
    const QList<PreviewName> names =
        previewOutputNames(m_paths, m_relativeFolders, m_settings, kPreviewRows);
    QStringList lines;
    for (qsizetype row = 0; row < names.size(); ++row) {
        QString line =
            QFileInfo(m_paths[row]).fileName() + QStringLiteral(" \u2192 ") + names[row].name;
        if (names[row].taken)
            line += tr(" (exists, skipped)");
        lines.append(line);
    }
    m_namingBox->showPreview(lines);
}

void FormConvert::enableRunChoices(bool enabled)
{
    m_namingBox->setEnabled(enabled);
    m_loudnessBox->setEnabled(enabled);
}

QString FormConvert::summary() const
{
    return m_summaryLabel->text();
}

QStringList FormConvert::log() const
{
    QStringList lines;
    for (int row = 0; row < m_log->count(); ++row)
        lines.append(m_log->item(row)->text());
    return lines;
}

QString FormConvert::status() const
{
    return m_statusLabel->text();
}

void FormConvert::Option1_Click()
{
    m_sameFolderOption->setChecked(true);
    m_outputText->setText(sameAsInputText());
    m_browseButton->setEnabled(false);
    m_settings.UseOutputFolder = false;
    m_namingBox->setTreeAvailable(false);
    updateNamePreview();
}

void FormConvert::Option2_Click()
{
    m_chosenFolderOption->setChecked(true);
    m_outputText->setText(m_settings.OutputFolder);
    m_browseButton->setEnabled(true);
    m_settings.UseOutputFolder = true;
    m_namingBox->setTreeAvailable(true);
    updateNamePreview();
}

void FormConvert::CmdBrowse_Click()
{
    const QString chosen =
        browseForReadableFolder(this, tr("Please select the output folder."), m_outputText->text());
    if (chosen.isEmpty())
        return;
    m_outputText->setText(chosen);
    m_settings.OutputFolder = withTrailingSeparator(chosen);
    updateNamePreview();
}

void FormConvert::CmdSet_Click()
{
    if (m_flgConvert)
        return;
    // QDialog's own hiding would end the modal loop this dialog may be running, and with it
    // the dialog; only the window is hidden while the settings dialog is open.
    QWidget::setVisible(false);
    if (m_editSettings) {
        if (std::optional<EncoderSettings> edited = m_editSettings(this, m_settings))
            m_settings = std::move(*edited);
    }
    UpdateFormatSummary();
    updateNamePreview();
    show();
}

void FormConvert::UpdateFormatSummary()
{
    const QString target = formatCaption(m_settings.TargetFormat);
    m_summaryLabel->setText(m_settings.summary());
    m_configButton->setText(tr("Config %1").arg(target));
    m_formatFrame->setTitle(tr("Convert to %1").arg(target));
}

void FormConvert::CmdConvert_Click()
{
    if (m_running)
        return;
    if (const QString problem = patternProblem(); !problem.isEmpty()) {
        m_statusLabel->setText(problem);
        return;
    }
    m_running = true;
    m_flgConvert = true;
    m_closeButton->setEnabled(false);
    m_configButton->setEnabled(false);
    m_convertButton->setEnabled(false);
    setWindowTitle(tr(" Converting, please wait..."));
    m_progressBar->setTextVisible(true);
    m_openFolderButton->hide();
    m_outputFolder.clear();
    m_runLabel->show();
    enableRunChoices(false);

    // The jobs read their own copy; the dialog's settings may change while they run.
    const EncoderSettings runSettings = m_settings;
    RunObserver observer(*this);
    ParallelBatch batch(m_jobs, runSettings.IfTaken);
    batch.setNaming(runSettings.Naming, m_relativeFolders);
    batch.run(m_paths, runSettings, observer);
    m_running = false;
    enableRunChoices(true);
    updateNamePreview();
    observer.showRunProgress();
    m_outputFolder = observer.outputFolder();
    m_openFolderButton->setVisible(!m_outputFolder.isEmpty());

    setIdleLook();
    m_progressBar->setValue(0);
    m_flgConvert = false;
    QApplication::beep();
}

void FormConvert::CmdStop_Click()
{
    // The run ends after the block in progress; the dialog looks idle at once.
    setIdleLook();
    m_flgConvert = false;
}

void FormConvert::CmdOpenFolder_Click()
{
    if (!m_outputFolder.isEmpty() && m_openFolder)
        m_openFolder(m_outputFolder);
}

void FormConvert::setIdleLook()
{
    setWindowTitle(kIdleCaption);
    m_closeButton->setEnabled(true);
    m_configButton->setEnabled(true);
    m_convertButton->setEnabled(true);
    m_progressBar->setTextVisible(false);
}

void FormConvert::closeEvent(QCloseEvent* event)
{
    if (m_flgConvert)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void FormConvert::reject()
{
    if (!m_flgConvert)
        QDialog::reject();
}

} // namespace tunevale
