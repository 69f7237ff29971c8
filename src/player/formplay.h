#pragma once

#include "common/audio/audiofile.h"
#include "player/audioplayer.h"

#include <QDialog>

class QAction;
class QLineEdit;
class QPushButton;
class QSlider;

namespace tunevale {

class Visualisation;

// The player window: plays one file with a position slider, pause and a visualisation
// whose style comes from the program-wide visualStyle (1 to 6), which its Style menu sets.
class FormPlay final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormPlay)

public:
    // path and lengthText are the selected row's text and its "Length" column.
    FormPlay(QWidget* owner, const QString& path, const QString& lengthText, int& visualStyle);
    ~FormPlay() override;

    bool isPlaying() const { return IsPlaying; }
    bool isPaused() const { return IsPaused; }
    // True while the button offers pause (sound running), false while it offers play.
    bool buttonShowsPause() const { return m_buttonShowsPause; }
    qint64 basePosition() const { return BasePosition; }
    AudioPlayer& player() { return m_audioPlayer; }
    Visualisation* visualisation() const { return m_visualisation; }
    QSlider* slider() const { return m_positionSlider; }
    QString elapsedText() const;
    QString totalText() const;
    QList<QAction*> styleActions() const { return m_styleActions; }

    void CmdPause_Click();
    // A position the user chose on the slider, 0 to 1000.
    void seekTo(int sliderValue);
    void selectStyle(int visualStyle);

protected:
    void done(int result) override;

private:
    void unload();
    void StartPlayback();
    void StopPlayback();
    void FeedNextChunk();
    void TogglePause();
    void AudioPlayer_Timer(qint64 currentSamples);
    void ClearStyleChecks();
    void showPosition(qint64 samples);
    void setSliderValue(int value);
    void setButtonShowsPause(bool showsPause);

    QString m_path;
    int& m_visualStyle;
    AudioFile m_audioFile;
    AudioPlayer m_audioPlayer;
    qint64 TotalSamples = 0;
    qint64 BasePosition = 0;
    qint64 ChunkSamples = 0;
    bool IsPlaying = false;
    bool IsPaused = false;
    bool m_buttonShowsPause = true;
    bool m_unloaded = false;

    QSlider* m_positionSlider = nullptr;
    QLineEdit* m_elapsedText = nullptr;
    QLineEdit* m_totalText = nullptr;
    QPushButton* m_pauseButton = nullptr;
    Visualisation* m_visualisation = nullptr;
    QList<QAction*> m_styleActions;
};

} // namespace tunevale
