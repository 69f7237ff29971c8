// Measures the seams of a segment-parallel MP3 conversion against the one-thread conversion
// of the same source with the same settings: for every seam, the coding error (decoded output
// minus source, in dB below full scale) in a 50 ms window around it, in both outputs.
// Usage: segment_seams cbr|vbr SOURCE.wav OUTPUT_FOLDER [THREADS]
//   cbr: 128 kbit/s; vbr: VBR quality 2 (new/MTRH). LAME quality 5, output at the source's rate.
// Writes single.mp3 and parallel.mp3 into OUTPUT_FOLDER and prints one line per seam.

#include "common/audio/audiofile.h"
#include "common/audio/audioreader.h"
#include "convert/segmentedtranscode.h"
#include "convert/transcoder.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <vector>

using namespace tunevale;

namespace {

struct Decoded {
    PcmFormat format;
    std::vector<qint16> samples;
};

Status decode(const QString& path, Decoded& decoded)
{
    AudioReader reader;
    if (Status status = reader.open(path); !status)
        return status;
    decoded.format = reader.format();
    std::vector<qint16> block;
    for (;;) {
        if (Status status = reader.read(1 << 16, block); !status)
            return status;
        if (block.empty())
            return {};
        decoded.samples.insert(decoded.samples.end(), block.begin(), block.end());
    }
}

// Mean squared difference in dB below full scale over frames [from, to); -150 for none.
double errorDb(const Decoded& output, const Decoded& source, qint64 from, qint64 to)
{
    const int channels = source.format.channels;
    from = std::max<qint64>(0, from);
    to = std::min<qint64>(to, qint64(source.samples.size()) / channels);
    double sum = 0;
    for (qint64 i = from * channels; i < to * channels; ++i) {
        const double difference = double(output.samples[size_t(i)]) - source.samples[size_t(i)];
        sum += difference * difference;
    }
    const double mean = sum / double(std::max<qint64>(1, (to - from) * channels));
    return mean > 0 ? 10 * std::log10(mean / (32768.0 * 32768.0)) : -150;
}

} // namespace

int main(int argc, char* argv[])
{
    QTextStream out(stdout);
    if (argc < 4) {
        out << "Usage: segment_seams cbr|vbr SOURCE.wav OUTPUT_FOLDER [THREADS]\n";
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString source = QString::fromLocal8Bit(argv[2]);
    const QDir folder(QString::fromLocal8Bit(argv[3]));
    const int threads = argc > 4 ? std::atoi(argv[4]) : 2;

    Decoded original;
    if (Status status = decode(source, original); !status) {
        out << status.message() << "\n";
        return 1;
    }
    OutputSettings settings;
    Mp3Encoder& mp3 = settings.mp3;
    (void)mp3.setSampleRate(original.format.sampleRate);
    (void)mp3.setChannels(original.format.channels);
    (void)mp3.setQuality(5);
    if (mode == u"vbr") {
        (void)mp3.setVbrMethod(Mp3Encoder::kVbrNew);
        (void)mp3.setVbrQuality(2);
        (void)mp3.setBitrate(32);
    } else {
        (void)mp3.setBitrate(128);
    }

    const QString single = folder.filePath(QStringLiteral("single.mp3"));
    const QString parallel = folder.filePath(QStringLiteral("parallel.mp3"));
    QFile::remove(single);
    QFile::remove(parallel);
    AudioFile reader;
    AudioFile writer;
    (void)writer.configure(settings);
    TranscodeObserver observer;
    SegmentedTranscode segmented(settings, threads);
    auto outcome = SegmentedTranscode::Outcome::NotApplicable;
    Status status = Transcoder(reader, writer).transcodeFile(source, single);
    if (status)
        status = segmented.run(source, parallel, observer, outcome);
    if (!status || outcome != SegmentedTranscode::Outcome::Done) {
        out << "conversion failed: " << (status ? QStringLiteral("not split") : status.message())
            << "\n";
        return 1;
    }

    Decoded one;
    Decoded split;
    if (!decode(single, one) || !decode(parallel, split))
        return 1;
    const auto frames = [](const Decoded& decoded) {
        return qint64(decoded.samples.size()) / std::max(1, decoded.format.channels);
    };
    out << "samples: source " << frames(original) << ", single " << frames(one) << ", parallel "
        << frames(split) << "\n";
    if (frames(one) != frames(original) || frames(split) != frames(original))
        return 1;
    // A seam before frame f: that frame's first granule overlaps the previous frame's last, in
    // source time from f * 1152 - 576 on (LAME's 576-sample delay, decoders trim the rest).
    const int rate = original.format.sampleRate;
    const qint64 half = rate / 40; // 25 ms
    out << "seam  time_s   single_dB  parallel_dB  difference_dB\n";
    double worst = 0;
    for (const qint64 seam : segmented.seams()) {
        const qint64 centre = seam * 1152 - 288;
        const double a = errorDb(one, original, centre - half, centre + half);
        const double b = errorDb(split, original, centre - half, centre + half);
        worst = std::max(worst, std::abs(b - a));
        out << QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(seam, 5)
                   .arg(double(centre) / rate, 8, 'f', 3)
                   .arg(a, 10, 'f', 2)
                   .arg(b, 11, 'f', 2)
                   .arg(b - a, 13, 'f', 2);
    }
    out << "worst difference " << worst << " dB\n";
    return 0;
}
