#pragma once

namespace tunevale {

// Interleaved signed 16-bit PCM: the one sample layout the components exchange.
struct PcmFormat {
    int sampleRate = 44100; // Hz
    int channels = 2;

    friend bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

// What a conversion's source holds, for output settings that follow the source.
struct SourceFormat {
    PcmFormat pcm;
    // The precision of the source's samples: 16 for 16-bit PCM and less, 24 for deeper PCM
    // and for codecs that decode to floating point.
    int bitsPerSample = 16;

    friend bool operator==(const SourceFormat&, const SourceFormat&) = default;
};

} // namespace tunevale
