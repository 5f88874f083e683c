// Reading what the harness captured of this process's audio output, and telling tones apart in it.
#include "support/Audio.h"

#include "support/TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

uint64_t CaptureSize()
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(CapturePath().c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WaitForCaptureSize(uint64_t size, int timeoutMs)
{
    return WaitFor([size] { return CaptureSize() >= size; }, timeoutMs);
}

std::vector<float> ReadCapture(const CaptureFormat& format, uint64_t from, uint64_t to)
{
    // Whole samples only: an earlier stream of another channel count may have shifted the frames,
    // which the mix to mono does not mind.
    from -= from % 2;
    if (to == 0) to = CaptureSize();
    std::vector<int16_t> raw(to > from ? (to - from) / 2 : 0);
    FILE* file = fopen(CapturePath().c_str(), "rb");
    if (file == nullptr) return {};
    const bool read = _fseeki64(file, static_cast<int64_t>(from), SEEK_SET) == 0;
    raw.resize(read ? fread(raw.data(), 2, raw.size(), file) : 0);
    fclose(file);
    std::vector<float> mono;
    for (size_t i = 0; i + format.channels <= raw.size(); i += format.channels) {
        float sum = 0;
        for (int c = 0; c < format.channels; ++c) sum += raw[i + c] / 32768.0f;
        mono.push_back(sum / format.channels);
    }
    return mono;
}

double ToneAmplitude(const std::vector<float>& samples, int rate, double freq)
{
    if (samples.empty()) return 0;
    const double coefficient = 2 * std::cos(2 * 3.14159265358979 * freq / rate);
    double previous = 0, beforePrevious = 0;
    for (float sample : samples) {
        const double current = sample + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * (beforePrevious - coefficient * previous);
    return 2 * std::sqrt(std::max(power, 0.0)) / samples.size();
}

int DominantTone(const std::vector<float>& samples, int rate, const std::vector<int>& candidates)
{
    int best = 0;
    double bestAmplitude = 0, secondAmplitude = 0;
    for (int freq : candidates) {
        const double amplitude = ToneAmplitude(samples, rate, freq);
        secondAmplitude = std::max(secondAmplitude, std::min(amplitude, bestAmplitude));
        if (amplitude > bestAmplitude) {
            bestAmplitude = amplitude;
            best = freq;
        }
    }
    return bestAmplitude >= 0.1 && bestAmplitude >= 4 * secondAmplitude ? best : 0;
}

std::vector<int> ToneTrack(const std::vector<float>& samples, int rate, const std::vector<int>& candidates,
                           int windowMs)
{
    std::vector<int> track;
    const size_t window = static_cast<size_t>(rate) * windowMs / 1000;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        track.push_back(DominantTone({samples.begin() + start, samples.begin() + start + window}, rate, candidates));
    }
    return track;
}
