#include "convert/formconvert.h"

#include "app/formmain.h"
#include "convert/batchrun.h"
#include "filelist/filelistview.h"
#include "filelist/rowtexts.h"
#include "widgets/artwork.h"
#include "widgets/folderbrowser.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
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
#include <QVBoxLayout>

namespace tunevale {

namespace {

const QString kSameAsInput = QStringLiteral("[Same as input path]");
const QString kIdleCaption = QStringLiteral(" Tunevale");

// "0.0#": one or two decimals.
QString oneOrTwoDecimals(double value)
{
    QString text = QLocale().toString(value, 'f', 2);
    if (text.endsWith(u'0'))
        text.chop(1);
    return text;
}

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

} // namespace

// Shows the run in the dialog and lets the event loop turn between blocks.
class FormConvert::RunObserver final : public BatchObserver {
public:
    explicit RunObserver(FormConvert& form)
        : m_form(form)
    {}

    void logLine(const QString& line) override
    {
        m_form.List1->addItem(line);
        m_form.List1->scrollToBottom();
    }
    void statusChanged(const QString& status) override { m_form.LabelStatus->setText(status); }
    // A progress bar showing its percentage repaints at once on every change, so the value
    // reaches the bar at the event loop's turns only.
    void progressChanged(double percent) override { m_percent = static_cast<int>(percent); }
    // Blocks come faster than a person can see; turns of the event loop (and the repaints
    // they bring) at about 40 a second keep the window live at a fraction of the cost.
    void yield() override
    {
        if (m_sinceYield.isValid() && m_sinceYield.elapsed() < kYieldIntervalMs)
            return;
        m_form.ProgressConvert->setValue(m_percent);
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

private:
    static constexpr qint64 kYieldIntervalMs = 25;
    FormConvert& m_form;
    QElapsedTimer m_sinceYield;
    int m_percent = 0;
};

FormConvert::FormConvert(FormMain& main, SettingsDialogOpener openSettings)
    : QDialog(&main)
    , m_main(main)
    , m_openSettings(std::move(openSettings))
{
    setWindowTitle(kIdleCaption);
    setWindowIcon(applicationIcon());
    setModal(true);

    auto* outputFrame = new QGroupBox(QStringLiteral("Output path"), this);
    Option1 = new QRadioButton(QStringLiteral("Same as input path"), outputFrame);
    Option2 = new QRadioButton(QStringLiteral("Specify a path"), outputFrame);
    Option1->setChecked(true);
    CmdBrowse = new QPushButton(QStringLiteral("Browse..."), outputFrame);
    CmdBrowse->setEnabled(false);
    TextOutput = new QLineEdit(kSameAsInput, outputFrame);
    TextOutput->setReadOnly(true);
    auto* outputLayout = new QGridLayout(outputFrame);
    outputLayout->addWidget(Option1, 0, 0);
    outputLayout->addWidget(Option2, 0, 1);
    outputLayout->addWidget(TextOutput, 1, 0, 1, 2);
    outputLayout->addWidget(CmdBrowse, 1, 2);
    outputLayout->setColumnStretch(1, 1);

    Frame1 = new QGroupBox(QStringLiteral("Convert to WMA"), this);
    LabelFomartStr = new ClickableLabel([this] { CmdSet_Click(); }, Frame1);
    LabelFomartStr->setText(QStringLiteral("Convert to WMA"));
    CmdSet = new QPushButton(QStringLiteral("Config"), Frame1);
    Check1 = new QCheckBox(QStringLiteral("Try to get audio information (title, artist, album, "
                                          "year, etc.) from the source file and write them into "
                                          "the destination file."),
                           Frame1);
    Check1->setChecked(true);
    auto* formatLayout = new QGridLayout(Frame1);
    formatLayout->addWidget(new QLabel(QStringLiteral("Sound quality:"), Frame1), 0, 0);
    formatLayout->addWidget(LabelFomartStr, 0, 1);
    formatLayout->addWidget(CmdSet, 0, 2);
    formatLayout->addWidget(Check1, 1, 0, 1, 3);
    formatLayout->setColumnStretch(1, 1);

    List1 = new QListWidget(this);
    LabelStatus =
        new QLabel(QStringLiteral("Click the \"Convert\" button to start converting."), this);
    ProgressConvert = new QProgressBar(this);
    ProgressConvert->setRange(0, 100);
    ProgressConvert->setValue(0);
    ProgressConvert->setTextVisible(false);

    CmdConvert = new QPushButton(QStringLiteral("Convert"), this);
    CmdStop = new QPushButton(QStringLiteral("Stop"), this);
    CmdClose = new QPushButton(QStringLiteral("Close"), this);
    CmdConvert->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(LabelStatus, 1);
    buttons->addWidget(CmdConvert);
    buttons->addWidget(CmdStop);
    buttons->addWidget(CmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(outputFrame);
    layout->addWidget(Frame1);
    layout->addWidget(List1, 1);
    layout->addWidget(ProgressConvert);
    layout->addLayout(buttons);
    resize(620, 460);

    connect(Option1, &QRadioButton::clicked, this, &FormConvert::Option1_Click);
    connect(Option2, &QRadioButton::clicked, this, &FormConvert::Option2_Click);
    connect(CmdBrowse, &QPushButton::clicked, this, &FormConvert::CmdBrowse_Click);
    connect(Check1, &QCheckBox::toggled, this,
            [this](bool checked) { m_main.settings().CopyTags = checked; });
    connect(CmdSet, &QPushButton::clicked, this, &FormConvert::CmdSet_Click);
    connect(CmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(CmdConvert, &QPushButton::clicked, this, &FormConvert::CmdConvert_Click);
    connect(CmdStop, &QPushButton::clicked, this, &FormConvert::CmdStop_Click);

    // Load.
    UpdateFormatSummary();
    m_flgConvert = false;
    m_main.settings().CopyTags = true;
}

QString FormConvert::summary() const
{
    return LabelFomartStr->text();
}

QStringList FormConvert::log() const
{
    QStringList lines;
    for (int row = 0; row < List1->count(); ++row)
        lines.append(List1->item(row)->text());
    return lines;
}

QString FormConvert::status() const
{
    return LabelStatus->text();
}

void FormConvert::Option1_Click()
{
    Option1->setChecked(true);
    TextOutput->setText(kSameAsInput);
    CmdBrowse->setEnabled(false);
}

void FormConvert::Option2_Click()
{
    Option2->setChecked(true);
    TextOutput->setText(m_main.settings().OutputFolder);
    CmdBrowse->setEnabled(true);
}

void FormConvert::CmdBrowse_Click()
{
    const QString chosen = browseForReadableFolder(
        this, QStringLiteral("Please select the output folder."), TextOutput->text());
    if (chosen.isEmpty())
        return;
    TextOutput->setText(chosen);
    m_main.settings().OutputFolder = FormMain::withTrailingSeparator(chosen);
}

void FormConvert::CmdSet_Click()
{
    if (m_flgConvert)
        return;
    hide();
    if (m_openSettings)
        m_openSettings(this, m_main.settings().TargetFormat);
    UpdateFormatSummary();
    show();
}

void FormConvert::UpdateFormatSummary()
{
    const EncoderSettings& settings = m_main.settings();
    const QString& target = settings.TargetFormat;
    QString caption;
    if (target == u"MP3") {
        caption = settings.OutputFormatText;
        if (m_main.MP3Lame().vbrMethod() >= 0)
            caption += QStringLiteral(" VBR");
    } else if (target == u"OGG") {
        caption = QStringLiteral("OGG ") + settings.OggFrequencyText + QStringLiteral("; ") +
                  settings.OggChannelText + QStringLiteral("; ");
        if (settings.OggQualityEnabled)
            caption += QStringLiteral("Quality - ") + oneOrTwoDecimals(settings.OggQuality / 100.0);
        else if (settings.OggVbrEnabled)
            caption += QStringLiteral("%1-%2Kbps VBR")
                           .arg(settings.OggMinBitrate)
                           .arg(settings.OggMaxBitrate);
        else
            caption += QStringLiteral("%1 Kbps").arg(settings.OggBitrate);
    } else if (target == u"WAV") {
        caption =
            QStringLiteral("WAV ") + groupedNumber(settings.WavSampleRate) +
            QStringLiteral(" Hz; ") +
            (settings.WavChannels == 2 ? QStringLiteral("Stereo; ") : QStringLiteral("Mono; ")) +
            QString::number(settings.WavBitsPerSample) + QStringLiteral(" bit");
    } else if (target == u"WMA") {
        (void)m_main.FileW().selectWmaProfile(settings.WmaProfileIndex);
        caption = m_main.FileW().settingsDescription();
    } else {
        return;
    }
    LabelFomartStr->setText(caption);
    CmdSet->setText(QStringLiteral("Config ") + target);
    Frame1->setTitle(QStringLiteral("Convert to ") + target);
}

void FormConvert::CmdConvert_Click()
{
    m_flgConvert = true;
    CmdClose->setEnabled(false);
    CmdSet->setEnabled(false);
    CmdConvert->setEnabled(false);
    setWindowTitle(QStringLiteral(" Converting, please wait..."));
    ProgressConvert->setTextVisible(true);

    const EncoderSettings& settings = m_main.settings();
    BatchOptions options;
    options.outputFolder = Option2->isChecked() ? settings.OutputFolder : QString();
    options.copyTags = settings.CopyTags;
    RunObserver observer(*this);
    BatchRun run(m_main.FileR(), m_main.FileW(), m_main.audioInformation());
    run.run(m_main.ListView1()->paths(), settings.TargetFormat, options, &observer);

    setIdleLook();
    ProgressConvert->setValue(0);
    m_flgConvert = false;
    QApplication::beep();
}

void FormConvert::CmdStop_Click()
{
    // The run ends after the block in progress; the dialog looks idle at once.
    setIdleLook();
    m_flgConvert = false;
}

void FormConvert::setIdleLook()
{
    setWindowTitle(kIdleCaption);
    CmdClose->setEnabled(true);
    CmdSet->setEnabled(true);
    CmdConvert->setEnabled(true);
    ProgressConvert->setTextVisible(false);
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
