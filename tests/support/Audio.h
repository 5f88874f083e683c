// Reading what the harness captured of this process's audio output, and telling tones apart in it.
#pragma once

#include <cstdint>
#include <vector>

// The capture is raw 16-bit PCM in the format each stream was opened with, streams appended one
// after another; a test that reads it plays only one format.
struct CaptureFormat {
    int rate;
    int channels;

    uint64_t FrameBytes() const { return static_cast<uint64_t>(channels) * 2; }
    uint64_t BytesFor(int ms) const { return static_cast<uint64_t>(rate) * ms / 1000 * FrameBytes(); }
};

// Bytes captured so far; 0 when nothing was captured yet (or there is no capture).
uint64_t CaptureSize();

// Waits (pumping messages) until the capture holds at least size bytes.
bool WaitForCaptureSize(uint64_t size, int timeoutMs);

// The captured frames from byte offset from up to to (0: to the end),
// mixed to mono in [-1, 1].
std::vector<float> ReadCapture(const CaptureFormat& format, uint64_t from, uint64_t to = 0);

// Amplitude (0 to about 1) of a sine at freq in samples, by the Goertzel algorithm.
double ToneAmplitude(const std::vector<float>& samples, int rate, double freq);

// The candidate frequency that is clearly present (amplitude at least minAmplitude and well above
// every other candidate), or 0 when there is none.
int DominantTone(const std::vector<float>& samples, int rate, const std::vector<int>& candidates,
                 double minAmplitude = 0.1);

// The dominant candidate of each consecutive window of windowMs (0 where none dominates).
std::vector<int> ToneTrack(const std::vector<float>& samples, int rate, const std::vector<int>& candidates,
                           int windowMs);

// Index of the first and one past the last sample louder than threshold; {0, 0} when all are quiet.
struct SoundSpan {
    size_t begin;
    size_t end;
};
SoundSpan AudibleSpan(const std::vector<float>& samples, float threshold = 0.05f);
