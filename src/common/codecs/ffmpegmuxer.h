#pragma once

#include "common/audio/ffmpegptr.h"
#include "common/audio/status.h"
#include "common/io/outputfile.h"
#include "common/io/outputio.h"

#include <QString>

#include <array>
#include <vector>

namespace tunevale {

// What an encoder writing through FFmpeg's codec and muxer holds while its file is open, and
// the steps that move packets from the one to the other.
struct FfmpegMuxer {
    explicit FfmpegMuxer(const char* codecName)
        : codecName(codecName)
    {}

    const char* codecName; // as messages name it: "AAC", "WMA"
    QString path;
    OutputStream file;
    OutputIoPtr io; // outlives format, which writes through it
    OutputFormatContextPtr format;
    CodecContextPtr codec;
    AVStream* stream = nullptr;
    AudioFifoPtr fifo;
    FramePtr frame;
    PacketPtr packet;
    std::array<std::vector<float>, 2> planes;
    std::array<void*, 2> planePointers{};
    int frameSize = 0; // samples per channel the encoder takes per frame
    int64_t nextPts = 0;
    qint64 packets = 0; // handed to the muxer so far

    // An error "what path: FFmpeg's reason".
    Status fail(const QString& what, int errorCode) const;
    // The file's own reason when the file failed, FFmpeg's otherwise.
    Status writeFailure(int errorCode) const;
    // Hands every packet the encoder has ready to the muxer.
    Status drainPackets();
};

} // namespace tunevale
