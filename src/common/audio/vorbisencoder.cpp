#include "common/audio/vorbisencoder.h"
namespace tunevale {
struct VorbisEncoder::Vorbis {};
VorbisEncoder::VorbisEncoder(const OggFormat& f) : m_format(f) {}
VorbisEncoder::~VorbisEncoder() = default;
PcmFormat VorbisEncoder::inputFormat() const { return {m_format.sampleRate, m_format.channels}; }
Status VorbisEncoder::open(const QString&) { return Status::error(QStringLiteral("TODO")); }
Status VorbisEncoder::encode(std::span<const qint16>) { return Status::error(QStringLiteral("TODO")); }
Status VorbisEncoder::finish() { return Status::error(QStringLiteral("TODO")); }
bool VorbisEncoder::check(int, int, int, int, int) { return true; }
QString VorbisEncoder::describe(const OggFormat&) { return QStringLiteral("OGG"); }
}
