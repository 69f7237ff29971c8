#include "player/formplay.h"

#include "common/formatduration.h"
#include "player/visualisation.h"
#include "widgets/artwork.h"
#include "widgets/named.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

namespace tunevale {

namespace {

constexpr int kSliderMaximum = 1000;
constexpr qint64 kChunkMilliseconds = 200;

const char* const kStyleCaptions[] = {QT_TRANSLATE_NOOP("tunevale::FormPlay", "Analog"),
                                      QT_TRANSLATE_NOOP("tunevale::FormPlay", "Linear"),
                                      QT_TRANSLATE_NOOP("tunevale::FormPlay", "Normal"),
                                      QT_TRANSLATE_NOOP("tunevale::FormPlay", "Fire"),
                                      QT_TRANSLATE_NOOP("tunevale::FormPlay", "Glass"),
                                      QT_TRANSLATE_NOOP("tunevale::FormPlay", "Kryptonite")};

QString fileNameOf(const QString& path)
{
    const qsizetype separator = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(separator + 1);
}

} // namespace

FormPlay::FormPlay(QWidget* owner, const QString& path, const QString& lengthText, int& visualStyle)
    : QDialog(owner)
    , m_path(path)
    , m_visualStyle(visualStyle)
{
    setObjectName(QStringLiteral("FormPlay"));
    setWindowTitle(QStringLiteral(" Tunevale"));
    setWindowIcon(applicationIcon());
    setModal(true);

    auto* menuBar = new QMenuBar(this);
    QMenu* styleMenu = named(menuBar->addMenu(tr("Style")), u"M_Style");
    auto* styleGroup = new QActionGroup(this);
    for (int index = 0; index < 6; ++index) {
        QAction* action = styleMenu->addAction(tr(kStyleCaptions[index]));
        action->setCheckable(true);
        styleGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, index] { selectStyle(index + 1); });
        m_styleActions.append(action);
    }

    m_visualisation = named(new Visualisation(this), u"AudioVisualization21");
    m_visualisation->setMinimumSize(420, 140);
    m_positionSlider = named(new QSlider(Qt::Horizontal, this), u"Slider1");
    m_positionSlider->setRange(0, kSliderMaximum);
    m_positionSlider->setAccessibleName(tr("Position"));
    m_elapsedText = named(new QLineEdit(QStringLiteral("00:00:00"), this), u"Text1");
    m_totalText = named(new QLineEdit(QStringLiteral("00:00:00"), this), u"Text2");
    for (QLineEdit* text : {m_elapsedText, m_totalText}) {
        text->setReadOnly(true);
        text->setFocusPolicy(Qt::NoFocus);
        text->setAlignment(Qt::AlignCenter);
    }
    m_elapsedText->setAccessibleName(tr("Elapsed time"));
    m_totalText->setAccessibleName(tr("Total time"));
    m_pauseButton = named(new QPushButton(this), u"CmdPause");
    m_pauseButton->setToolTip(tr("Backward 0.5 seconds"));
    setButtonShowsPause(true);

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_pauseButton);
    controls->addWidget(m_positionSlider, 1);
    auto* times = new QHBoxLayout;
    times->addWidget(m_elapsedText);
    times->addStretch(1);
    times->addWidget(m_totalText);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(m_visualisation, 1);
    layout->addLayout(controls);
    layout->addLayout(times);

    connect(m_pauseButton, &QPushButton::clicked, this, &FormPlay::CmdPause_Click);
    // Only the user's own moves seek; the program's own setValue calls are blocked.
    connect(m_positionSlider, &QSlider::sliderMoved, this, &FormPlay::seekTo);
    connect(m_positionSlider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            seekTo(m_positionSlider->sliderPosition());
    });
    // With no sound running no timer moves the handle: let go, it shows where Play starts.
    connect(m_positionSlider, &QSlider::sliderReleased, this, [this] {
        if (IsPaused && TotalSamples > 0)
            setSliderValue(int(double(BasePosition) / double(TotalSamples) * kSliderMaximum));
    });
    connect(&m_audioPlayer, &AudioPlayer::Timer, this,
            [this](qint64 currentSamples, int, int) { AudioPlayer_Timer(currentSamples); });
    connect(&m_audioPlayer, &AudioPlayer::RequestOnLoadArray, this, &FormPlay::FeedNextChunk);
    connect(&m_audioPlayer, &AudioPlayer::EndArrayPlay, this, &FormPlay::FeedNextChunk);
    connect(&m_audioPlayer, &AudioPlayer::EndPlay, this, &FormPlay::StopPlayback);

    // Load: the row's length, the caption, the style, then the sound. Without a selected row
    // the window keeps its design caption and times.
    if (!m_path.isEmpty()) {
        m_totalText->setText(tr("Total: %1").arg(lengthText));
        setWindowTitle(tr(" Play - %1").arg(fileNameOf(m_path)));
    }
    selectStyle(std::clamp(m_visualStyle, 1, 6));
    IsPaused = false;
    StartPlayback();
}

FormPlay::~FormPlay()
{
    unload();
}

QString FormPlay::elapsedText() const
{
    return m_elapsedText->text();
}

QString FormPlay::totalText() const
{
    return m_totalText->text();
}

void FormPlay::StartPlayback()
{
    if (IsPlaying)
        StopPlayback();
    if (m_path.isEmpty())
        return;
    if (!m_audioFile.open(m_path) || m_audioFile.status() < 0)
        return;
    BasePosition = 0;
    TotalSamples = m_audioFile.totalLength();
    if (TotalSamples == 0)
        return;
    m_audioPlayer.setOutputFormat(m_audioFile.sampleRate(), m_audioFile.channels());
    m_visualisation->initialise(m_audioPlayer.outputSampleRate(), m_audioFile.channels());
    m_audioPlayer.beginArrayPlayback();
    if (m_audioPlayer.status() < 0) {
        (void)m_audioFile.close();
        return;
    }
    IsPlaying = true;
    ChunkSamples = m_audioPlayer.millisecondsToSamples(kChunkMilliseconds);
    FeedNextChunk();
}

void FormPlay::FeedNextChunk()
{
    if (m_audioFile.status() < 0 || ChunkSamples <= 0)
        return;
    std::vector<qint16> chunk;
    if (!m_audioFile.read(ChunkSamples * m_audioFile.channels(), chunk) || chunk.size() < 2)
        return; // the file is exhausted; the player ends by itself
    m_audioPlayer.queueArray(QVector<qint16>(chunk.begin(), chunk.end()));
}

void FormPlay::AudioPlayer_Timer(qint64 currentSamples)
{
    const qint64 position = currentSamples + BasePosition;
    showPosition(position);
    if (TotalSamples <= 0)
        return;
    const double ratio = std::min(1.0, double(position) / double(TotalSamples));
    setSliderValue(int(ratio * kSliderMaximum));
    const qint64 needed = m_visualisation->framesNeeded();
    if (position + needed > TotalSamples)
        return;
    m_visualisation->draw(m_audioPlayer.lastPlayedSamples(int(needed * m_audioFile.channels())));
}

void FormPlay::showPosition(qint64 samples)
{
    m_elapsedText->setText(
        FormatDuration(double(m_audioPlayer.samplesToMilliseconds(samples)) / 1000.0));
}

void FormPlay::seekTo(int sliderValue)
{
    m_audioPlayer.flush();
    const auto target = static_cast<qint64>(
        std::nearbyint(double(sliderValue) / kSliderMaximum * double(m_audioFile.totalLength())));
    qint64 reached = 0;
    if (m_audioFile.seek(target, reached))
        BasePosition = reached;
    // Sought to the end with no sound running: nothing is left to resume, so Play starts the
    // file again, as it does after the file ends.
    if (IsPaused && BasePosition >= TotalSamples)
        BasePosition = 0;
    showPosition(target);
    FeedNextChunk();
    FeedNextChunk();
}

void FormPlay::CmdPause_Click()
{
    TogglePause();
}

void FormPlay::TogglePause()
{
    if (IsPaused) {
        IsPaused = false;
        m_audioPlayer.beginArrayPlayback();
        m_audioPlayer.flush(); // chunks queued while paused belong to the old position
        qint64 reached = 0;
        (void)m_audioFile.seek(BasePosition, reached);
        FeedNextChunk();
        setButtonShowsPause(true);
    } else {
        IsPaused = true;
        BasePosition += m_audioPlayer.samplesPlayed();
        m_audioPlayer.stop();
        setButtonShowsPause(false);
    }
}

void FormPlay::StopPlayback()
{
    m_audioPlayer.stop();
    IsPlaying = false;
    setSliderValue(0);
    setButtonShowsPause(false);
    m_visualisation->draw({});
    BasePosition = 0;
    IsPaused = true;
}

void FormPlay::setSliderValue(int value)
{
    // While the user holds the handle, setValue() reports a move as if the user made it.
    const QSignalBlocker programmatic(m_positionSlider);
    m_positionSlider->setValue(value);
}

void FormPlay::setButtonShowsPause(bool showsPause)
{
    m_buttonShowsPause = showsPause;
    m_pauseButton->setIcon(
        style()->standardIcon(showsPause ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_pauseButton->setAccessibleName(showsPause ? tr("Pause") : tr("Play"));
    m_pauseButton->repaint();
}

void FormPlay::ClearStyleChecks()
{
    for (QAction* action : std::as_const(m_styleActions))
        action->setChecked(false);
}

void FormPlay::selectStyle(int visualStyle)
{
    ClearStyleChecks();
    m_visualisation->setStyle(visualStyle - 1);
    m_styleActions[visualStyle - 1]->setChecked(true);
    m_visualStyle = visualStyle;
}

void FormPlay::done(int result)
{
    unload();
    QDialog::done(result);
}

void FormPlay::unload()
{
    if (m_unloaded)
        return;
    // The sound stops at once, whatever state the window is in.
    m_unloaded = true;
    (void)m_audioFile.close();
    StopPlayback();
}

} // namespace tunevale
