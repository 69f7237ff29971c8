#include "player/audioplayer.h"

namespace tunevale {
class AudioPlayer::Output {};
AudioPlayer::AudioPlayer(QObject* parent) : QObject(parent) {}
AudioPlayer::~AudioPlayer() = default;
void AudioPlayer::setOutputFormat(int, int) {}
void AudioPlayer::beginArrayPlayback() {}
int AudioPlayer::status() const { return -1; }
qint64 AudioPlayer::millisecondsToSamples(qint64) const { return 0; }
qint64 AudioPlayer::samplesToMilliseconds(qint64) const { return 0; }
void AudioPlayer::queueArray(const QVector<qint16>&) {}
void AudioPlayer::stop() {}
qint64 AudioPlayer::samplesPlayed() const { return 0; }
void AudioPlayer::flush() {}
QVector<qint16> AudioPlayer::lastPlayedSamples(int) const { return {}; }
bool AudioPlayer::usesSoundDevice() const { return false; }
} // namespace tunevale
