// Reading what the harness captured of this process's audio output, and telling tones apart in it.
#include "support/Audio.h"

#include "support/TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const double kPi = 3.14159265358979323846;

}  // namespace

uint64_t CaptureSize() {
    const std::string path = CapturePath();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WaitForCaptureSize(uint64_t size, int timeoutMs) {
    return WaitFor([size] { return CaptureSize() >= size; }, timeoutMs);
}

std::vector<float> ReadCapture(const CaptureFormat& format, uint64_t from, uint64_t to) {
    std::vector<float> mono;
    const std::string path = CapturePath();
    if (path.empty()) return mono;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return mono;
    // Whole samples only; a frame boundary may have shifted when an earlier stream in the file
    // had another channel count, which the mix to mono does not mind.
    from -= from % 2;
    if (_fseeki64(file, static_cast<int64_t>(from), SEEK_SET) == 0) {
        uint64_t left = to > from ? to - from : UINT64_MAX;
        std::vector<int16_t> chunk(4096 * format.channels);
        while (left > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size() * 2, left));
            const size_t got = fread(chunk.data(), 1, want - want % format.FrameBytes(), file);
            if (got < format.FrameBytes()) break;
            if (got == 0) break;
            const size_t frames = got / format.FrameBytes();
            for (size_t i = 0; i < frames; ++i) {
                float sum = 0;
                for (int c = 0; c < format.channels; ++c) sum += chunk[i * format.channels + c] / 32768.0f;
                mono.push_back(sum / format.channels);
            }
            left -= std::min<uint64_t>(left, got);
        }
    }
    fclose(file);
    return mono;
}

double ToneAmplitude(const std::vector<float>& samples, int rate, double freq) {
    if (samples.empty() || rate <= 0) return 0;
    const double coefficient = 2 * std::cos(2 * kPi * freq / rate);
    double previous = 0;
    double beforePrevious = 0;
    for (float sample : samples) {
        const double current = sample + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return 2 * std::sqrt(std::max(power, 0.0)) / samples.size();
}

int DominantTone(const std::vector<float>& samples, int rate, const std::vector<int>& candidates,
                 double minAmplitude) {
    int best = 0;
    double bestAmplitude = 0;
    double secondAmplitude = 0;
    for (int freq : candidates) {
        const double amplitude = ToneAmplitude(samples, rate, freq);
        if (amplitude > bestAmplitude) {
            secondAmplitude = bestAmplitude;
            bestAmplitude = amplitude;
            best = freq;
        } else {
            secondAmplitude = std::max(secondAmplitude, amplitude);
        }
    }
    if (bestAmplitude < minAmplitude || bestAmplitude < 4 * secondAmplitude) return 0;
    return best;
}

std::vector<int> ToneTrack(const std::vector<float>& samples, int rate, const std::vector<int>& candidates,
                           int windowMs) {
    std::vector<int> track;
    const size_t window = static_cast<size_t>(rate) * windowMs / 1000;
    if (window == 0) return track;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        const std::vector<float> part(samples.begin() + start, samples.begin() + start + window);
        track.push_back(DominantTone(part, rate, candidates));
    }
    return track;
}

SoundSpan AudibleSpan(const std::vector<float>& samples, float threshold) {
    auto loud = [threshold](float s) { return std::fabs(s) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) return {0, 0};
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    return {static_cast<size_t>(first - samples.begin()), static_cast<size_t>(samples.rend() - last)};
}
