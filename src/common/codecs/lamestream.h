#pragma once

#include "common/audio/status.h"
#include "common/codecs/mp3encoder.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <span>
#include <vector>

namespace tunevale {

// One LAME encoding context with an Mp3Encoder's parameters, producing MP3 bytes in memory.
// With a VBR/info header LAME puts a placeholder frame first, and lameTagFrame() gives
// the finished header to write over it.
class LameStream {
public:
    LameStream();
    ~LameStream();
    LameStream(const LameStream&) = delete;
    LameStream& operator=(const LameStream&) = delete;

    // Sets LAME up; the message of a failure says why LAME refused.
    Status open(const Mp3Encoder& settings);
    bool isOpen() const { return m_lame != nullptr; }
    // Appends the MP3 bytes for whole frames of interleaved samples to out.
    Status encode(std::span<const qint16> samples, std::vector<unsigned char>& out);
    // Appends what LAME still holds; after it the stream takes no more samples.
    Status flush(std::vector<unsigned char>& out);
    // The finished VBR/info header frame after flush(); empty when LAME writes none.
    Status lameTagFrame(std::vector<unsigned char>& out) const;

    // One line such as "MP3 44100 Hz; 128 Kbps; Joint Stereo; " (what LAME really uses).
    static QString describe(const Mp3Encoder& settings);

private:
    struct Lame;
    std::unique_ptr<Lame> m_lame;
    int m_channels = 2;
    std::vector<unsigned char> m_buffer;
};

} // namespace tunevale
