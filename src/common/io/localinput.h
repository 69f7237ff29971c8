#pragma once

#include "common/audio/ffmpegptr.h"

#include <QString>

namespace tunevale {

// Opens path for demuxing as a local file and as nothing else: a name such as
// "http:host.mp3", "concat:a.mp3|b.mp3" or "pipe:0.mp3" names a file in the folder, never a
// network request or another file. Only a regular file is read, read-only: a FIFO, a device
// or a socket gives kNotRegularFileError at once instead of waiting or reading for ever.
// Returns FFmpeg's result code.
int openLocalInput(const QString& path, InputFormatContextPtr& context);

} // namespace tunevale
