// The playback engine: owns every sound it ever started and answers for the active one.
#include "components/PlaybackEngine.h"

#include "components/AudioDecoder.h"
#include "components/WaveOutput.h"

#include <mpg123.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cwchar>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

const wchar_t kNoLength[] = L"[N/A]";

// One started file. The engine keeps the object until it is destroyed itself, so a pointer the
// player still holds stays valid; releasing only lets go of the output (thread, device, decoder).
class Sound final : public PlaybackSound, public StreamSource {
public:
    Sound(std::shared_ptr<audio::WaveOutput> output, int channels, int rate, uint64_t totalFrames)
        : output(std::move(output)), totalFrames(totalFrames) {
        format.channels = channels;
        format.bitsPerSample = 16;
        format.sampleRate = rate;
        format.bytesPerFrame = channels * 2;
        const uint64_t ms = rate > 0 ? (totalFrames * 1000 + static_cast<uint64_t>(rate) / 2) / rate : 0;
        lengthMs = static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
        FormatLength();
    }

    void ReleaseSound() override { End(); }
    StreamSource* GetStreamSource() override { return this; }

    bool QueryPaused() override {
        const auto current = Output();
        return current && current->Paused();
    }

    void StopSound() override { End(); }

    bool HasEnded() override {
        const auto current = Output();
        return current && current->Ended();
    }

    uint32_t LengthMs() override { return lengthMs; }
    StreamFormat GetStreamFormat() override { return format; }

    // Stops the output and lets go of it; later calls answer as for no sound. Idempotent.
    void End() {
        std::shared_ptr<audio::WaveOutput> ending;
        {
            std::lock_guard<std::mutex> guard(lock);
            ending.swap(output);
        }
        if (ending) ending->Stop();
    }

    bool Pause(bool pause) {
        const auto current = Output();
        return current && current->Pause(pause);
    }

    bool Seek(float fraction) {
        const auto current = Output();
        if (!current || totalFrames == 0 || !std::isfinite(fraction)) return false;
        const double clamped = std::clamp(static_cast<double>(fraction), 0.0, 1.0);
        return current->SeekTo(static_cast<uint64_t>(clamped * static_cast<double>(totalFrames)));
    }

    float PlayPos() {
        const auto current = Output();
        if (!current || totalFrames == 0) return 0.0f;
        const double heard = static_cast<double>(current->HeardFrames()) / static_cast<double>(totalFrames);
        return static_cast<float>(std::clamp(heard, 0.0, 1.0));
    }

    const wchar_t* LengthText() {
        return Output() ? lengthText : kNoLength;
    }

private:
    std::shared_ptr<audio::WaveOutput> Output() {
        std::lock_guard<std::mutex> guard(lock);
        return output;
    }

    void FormatLength() {
        if (lengthMs == 0) {
            wcscpy(lengthText, kNoLength);
            return;
        }
        const uint32_t seconds = static_cast<uint32_t>((static_cast<uint64_t>(lengthMs) + 500) / 1000);
        if (seconds >= 3600) {
            swprintf(lengthText, sizeof lengthText / sizeof lengthText[0], L"%u:%02u:%02u", seconds / 3600,
                     seconds / 60 % 60, seconds % 60);
        } else {
            swprintf(lengthText, sizeof lengthText / sizeof lengthText[0], L"%u:%02u", seconds / 60, seconds % 60);
        }
    }

    std::mutex lock;  // guards output
    std::shared_ptr<audio::WaveOutput> output;
    // Fixed at creation, so they need no lock.
    StreamFormat format = {};
    const uint64_t totalFrames;
    uint32_t lengthMs = 0;
    wchar_t lengthText[16] = {};
};

Sound* AsSound(PlaybackSound* sound) {
    return static_cast<Sound*>(sound);
}

}  // namespace

class EngineCore {
public:
    std::mutex lock;  // guards sounds and current; one start or teardown at a time
    std::vector<std::unique_ptr<Sound>> sounds;
    Sound* current = nullptr;
};

PlaybackEngine::PlaybackEngine() : ActiveSound(nullptr), core(nullptr) {
    if (mpg123_init() != MPG123_OK) throw "The mp3 decoder could not be initialised.";
    core = new (std::nothrow) EngineCore;
    if (core == nullptr) throw "Not enough memory for the playback engine.";
}

PlaybackEngine::~PlaybackEngine() {
    try {
        std::lock_guard<std::mutex> guard(core->lock);
        for (auto& sound : core->sounds) sound->End();
    } catch (...) {
    }
    delete core;
}

bool PlaybackEngine::StartPlaying(const char* path) {
    try {
        // Everything that can fail happens before the current sound is touched: a file that does
        // not play leaves the sound that was playing as it was.
        auto decoder = audio::OpenAudioDecoder(path);
        if (!decoder) return false;
        const int channels = decoder->Channels();
        const int rate = decoder->Rate();
        const uint64_t totalFrames = decoder->TotalFrames();
        auto output = audio::WaveOutput::Open(std::move(decoder));
        if (!output) return false;
        auto sound = std::make_unique<Sound>(output, channels, rate, totalFrames);

        std::lock_guard<std::mutex> guard(core->lock);
        core->sounds.reserve(core->sounds.size() + 1);
        if (core->current != nullptr) core->current->End();
        if (!output->Play()) {
            sound->End();
            return false;
        }
        Sound* started = sound.get();
        core->sounds.push_back(std::move(sound));
        core->current = started;
        __atomic_store_n(&ActiveSound, static_cast<PlaybackSound*>(started), __ATOMIC_RELEASE);
        return true;
    } catch (...) {
        return false;
    }
}

bool PlaybackEngine::Pause(bool pause) {
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr && AsSound(sound)->Pause(pause);
}

bool PlaybackEngine::Seek(float fraction) {
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr && AsSound(sound)->Seek(fraction);
}

float PlaybackEngine::GetPlayPos() {
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr ? AsSound(sound)->PlayPos() : 0.0f;
}

const wchar_t* PlaybackEngine::GetPlayTime() {
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr ? AsSound(sound)->LengthText() : kNoLength;
}
