#include "common/audio/wmaencoder.h"
namespace tunevale {
struct WmaEncoder::Muxer {};
WmaEncoder::WmaEncoder(int n) : m_profile(wmaProfile(n)) {}
WmaEncoder::~WmaEncoder() = default;
PcmFormat WmaEncoder::inputFormat() const { return {m_profile.sampleRate, m_profile.channels}; }
Status WmaEncoder::open(const QString&) { return Status::error(QStringLiteral("TODO")); }
Status WmaEncoder::encode(std::span<const qint16>) { return Status::error(QStringLiteral("TODO")); }
Status WmaEncoder::finish() { return Status::error(QStringLiteral("TODO")); }
}
