#include "common/audio/lameencoder.h"
namespace tunevale {
struct LameEncoder::Lame {};
LameEncoder::LameEncoder(const Mp3Encoder& s) : m_settings(s) {}
LameEncoder::~LameEncoder() = default;
PcmFormat LameEncoder::inputFormat() const { return {m_settings.sampleRate(), m_settings.channels()}; }
Status LameEncoder::open(const QString&) { return Status::error(QStringLiteral("TODO")); }
Status LameEncoder::encode(std::span<const qint16>) { return Status::error(QStringLiteral("TODO")); }
Status LameEncoder::finish() { return Status::error(QStringLiteral("TODO")); }
QString LameEncoder::describe(const Mp3Encoder&) { return QStringLiteral("MP3; "); }
}
