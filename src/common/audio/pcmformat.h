#pragma once

namespace tunevale {

// Interleaved signed 16-bit PCM: the one sample layout the components exchange.
struct PcmFormat {
    int sampleRate = 44100; // Hz
    int channels = 2;

    friend bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

} // namespace tunevale
