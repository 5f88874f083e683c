// Reading what the harness captured of this process's audio output, and telling tones apart in it.
#pragma once

#include <cstdint>
#include <vector>

// The capture is raw 16-bit PCM in the format each stream was opened with, streams appended one
// after another; a test that reads it plays only one format.
struct CaptureFormat {
    int rate;
    int channels;

    uint64_t BytesFor(int ms) const { return static_cast<uint64_t>(rate) * ms / 1000 * channels * 2; }
};

uint64_t CaptureSize();  // 0 without a capture
bool WaitForCaptureSize(uint64_t size, int timeoutMs);
// The captured frames from byte offset from up to to (0: to the end), mixed to mono in [-1, 1].
std::vector<float> ReadCapture(const CaptureFormat& format, uint64_t from, uint64_t to = 0);

// Amplitude (0 to about 1) of a sine at freq in samples.
double ToneAmplitude(const std::vector<float>& samples, int rate, double freq);
// The candidate at least 0.1 loud and four times louder than any other, or 0 when none is.
int DominantTone(const std::vector<float>& samples, int rate, const std::vector<int>& candidates);
// The dominant candidate of each consecutive window of windowMs.
std::vector<int> ToneTrack(const std::vector<float>& samples, int rate, const std::vector<int>& candidates,
                           int windowMs);
