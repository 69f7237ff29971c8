#pragma once

#include "common/audio/ffmpegptr.h"
#include "common/audio/status.h"
#include "common/io/outputfile.h"
#include "common/io/outputio.h"

#include <QString>

#include <array>
#include <span>
#include <vector>

struct AVCodec;
struct AVDictionary;

namespace tunevale {

// What an encoder writing through FFmpeg's codec and muxer holds while its file is open, and
// the steps shared by such encoders, from making the muxer to its trailer.
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

    // Samples per channel converted in one go; bounds the scratch buffers and the FIFO.
    static constexpr int kChunkFrames = 4096;

    // Makes the muxer of formatName, its stream, a context for codec and the frame and packet
    // they pass. The caller then configures the context and opens the codec.
    Status allocate(const AVCodec* codec, const char* formatName);
    // After the codec is open: states its parameters on the stream and makes the frame, the
    // FIFO and the scratch planes for its channels, frames of the codec's size (fallback when
    // it takes any).
    Status prepareFrames(int fallbackFrameSize);
    // Writes the header into file (options for the muxer, or null).
    Status startMuxing(AVDictionary** options);
    // Encodes whole frames of interleaved 16-bit samples, through the FIFO in codec frames.
    Status encode(std::span<const qint16> samples);
    // Encodes what the FIFO still holds, flushes the codec and writes the trailer. The file
    // stays open.
    Status finishStream();

    // An error "what path: FFmpeg's reason".
    Status fail(const QString& what, int errorCode) const;
    // The file's own reason when the file failed, FFmpeg's otherwise.
    Status writeFailure(int errorCode) const;

private:
    // Encodes the next frameCount samples per channel of the FIFO as one frame; the frame's
    // buffer holds frameSize of them.
    Status sendFrame(int frameCount);
    // Hands every packet the encoder has ready to the muxer.
    Status drainPackets();
    // "Cannot encode <codec> audio for".
    QString cannotEncode() const;
};

} // namespace tunevale
