#include "common/audio/mp3encoder.h"
namespace tunevale {
Status Mp3Encoder::setSampleRate(int v) { m_sampleRate = v; return {}; }
Status Mp3Encoder::setQuality(int v) { m_quality = v; return {}; }
Status Mp3Encoder::setBitrate(int v) { m_bitrate = v; return {}; }
Status Mp3Encoder::setMaxVbrBitrate(int v) { m_maxVbrBitrate = v; return {}; }
Status Mp3Encoder::setVbrQuality(int v) { m_vbrQuality = v; return {}; }
Status Mp3Encoder::setVbrMethod(int v) { m_vbrMethod = v; return {}; }
Status Mp3Encoder::setAbrBitrate(int v) { m_abrBitrate = v; return {}; }
Status Mp3Encoder::setChannels(int v) { m_channels = v; return {}; }
Status Mp3Encoder::setChannelMode(int v) { m_channelMode = v; return {}; }
Status Mp3Encoder::applyPreset(int) { return Status::error(QStringLiteral("TODO")); }
}
