#pragma once

#include "common/io/outputfile.h"

#include <memory>

extern "C" {
#include <libavformat/avio.h>
}

namespace tunevale {

struct OutputIoDeleter {
    void operator()(AVIOContext* context) const;
};
using OutputIoPtr = std::unique_ptr<AVIOContext, OutputIoDeleter>;

// An FFmpeg I/O context that writes into stream and seeks in it (from the start), so a
// muxer never opens a path itself. Null when out of memory. stream must outlive it.
OutputIoPtr makeOutputIo(OutputStream& stream);

} // namespace tunevale
