// The playback engine: owns every sound it ever started and answers for the active one.
#include "components/PlaybackEngine.h"

#include "components/AudioDecoder.h"
#include "components/WideText.h"
#include "components/WaveOutput.h"

#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cwchar>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

// How long a start waits for the sound it replaces to fall silent, so two devices do not play at
// once; a device that takes longer is silenced and closed by its own thread all the same.
constexpr DWORD kReplacedCloseWaitMs = 50;

// A sound's length. Fixed from the start, except for an mp3 without an info header: its guess is
// replaced once, from another thread, when the count of its frames is done. Each text is written
// before it is published, so a reader never sees one half written.
class SoundLength {
public:
    SoundLength(uint64_t frames, int rate) : rate(rate) { Set(frames, estimated); }
    void Count(uint64_t frames) { Set(frames, counted); }
    uint64_t Frames() const { return frames.load(); }
    uint32_t Ms() const { return ms.load(); }
    const wchar_t* Text() const { return text.load(); }

private:
    void Set(uint64_t count, wchar_t* buffer)
    {
        const uint64_t total = rate > 0 ? (count * 1000 + static_cast<uint64_t>(rate) / 2) / rate : 0;
        const uint32_t lengthMs = static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
        if (lengthMs == 0) {
            wcscpy(buffer, kMissingText);
        } else {
            const uint32_t seconds = static_cast<uint32_t>((static_cast<uint64_t>(lengthMs) + 500) / 1000);
            if (seconds >= 3600) {
                swprintf(buffer, 16, L"%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
            } else {
                swprintf(buffer, 16, L"%u:%02u", seconds / 60, seconds % 60);
            }
        }
        frames = count;
        ms = lengthMs;
        text = buffer;
    }

    const int rate;
    std::atomic<uint64_t> frames{0};
    std::atomic<uint32_t> ms{0};
    std::atomic<const wchar_t*> text{kMissingText};
    wchar_t estimated[16] = {};
    wchar_t counted[16] = {};
};

// Counts the frames of an mp3 without an info header on a thread of its own, one file at a time:
// a new count, or a start of a file whose length is known, calls off the one before it, so
// changing tracks through a folder of such files never piles up reads of whole files.
class LengthCounter {
public:
    LengthCounter() = default;
    LengthCounter(const LengthCounter&) = delete;
    LengthCounter& operator=(const LengthCounter&) = delete;

    ~LengthCounter()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopping = true;
            cancel = true;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();  // a cancelled count ends at its next read
    }

    // Counts path for length (null: only calls off the count under way).
    void Count(std::shared_ptr<SoundLength> length, const std::string& path)
    {
        std::lock_guard<std::mutex> guard(lock);
        cancel = true;
        nextLength = std::move(length);
        nextPath = nextLength ? path : std::string();
        if (!nextLength || thread.joinable()) {
            wake.notify_all();
            return;
        }
        try {
            thread = std::thread([this] { Run(); });
        } catch (...) {
            nextLength.reset();  // no thread: the guess stays
        }
    }

private:
    void Run()
    {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            wake.wait(guard, [this] { return stopping || nextLength; });
            if (stopping) return;
            std::shared_ptr<SoundLength> length = std::move(nextLength);
            std::string path = std::move(nextPath);
            cancel = false;
            guard.unlock();
            try {
                if (const uint64_t frames = audio::CountMp3Frames(path.c_str(), cancel)) length->Count(frames);
            } catch (...) {
            }
            guard.lock();
        }
    }

    std::mutex lock;  // guards the next job and stopping
    std::condition_variable wake;
    std::shared_ptr<SoundLength> nextLength;
    std::string nextPath;
    bool stopping = false;
    std::atomic<bool> cancel{false};
    std::thread thread;
};

// One started file. Stopping or releasing only lets go of the output; the engine keeps the object
// for a few starts more (kRetiredSoundsKept), so a pointer a caller read just before a start stays
// valid while it finishes with it.
class Sound final : public PlaybackSound, public StreamSource {
public:
    Sound(int channels, int rate, std::shared_ptr<SoundLength> length) : length(std::move(length))
    {
        format.channels = channels;
        format.bitsPerSample = 16;
        format.sampleRate = rate;
        format.bytesPerFrame = channels * 2;
    }

    // The queued tail plays out; the device closes after it.
    void ReleaseSound() override
    {
        if (const auto released = Detach()) released->Release();
    }

    StreamSource* GetStreamSource() override { return this; }

    bool QueryPaused() override
    {
        const auto current = Output();
        return current && current->Paused();
    }

    void StopSound() override { End(); }

    bool HasEnded() override
    {
        const auto current = Output();
        return current && current->Ended();
    }

    uint32_t LengthMs() override { return length->Ms(); }
    StreamFormat GetStreamFormat() override { return format; }

    void Attach(std::shared_ptr<audio::WaveOutput> playing)
    {
        std::lock_guard<std::mutex> guard(lock);
        output = std::move(playing);
    }

    // Lets go of the output without touching it; later calls answer as for no sound.
    std::shared_ptr<audio::WaveOutput> Detach()
    {
        std::shared_ptr<audio::WaveOutput> detached;
        std::lock_guard<std::mutex> guard(lock);
        detached.swap(output);
        return detached;
    }

    // Silences the output and lets go of it. Idempotent. Returns what was stopped.
    std::shared_ptr<audio::WaveOutput> End()
    {
        const auto ending = Detach();
        if (ending) ending->Stop();
        return ending;
    }

    std::shared_ptr<audio::WaveOutput> Output()
    {
        std::lock_guard<std::mutex> guard(lock);
        return output;
    }

    bool Pause(bool pause)
    {
        const auto current = Output();
        return current && current->Pause(pause);
    }

    bool Seek(float fraction)
    {
        const auto current = Output();
        const uint64_t totalFrames = length->Frames();
        if (!current || totalFrames == 0 || !std::isfinite(fraction)) return false;
        const double clamped = std::clamp(static_cast<double>(fraction), 0.0, 1.0);
        return current->SeekTo(static_cast<uint64_t>(clamped * static_cast<double>(totalFrames)));
    }

    float PlayPos()
    {
        const auto current = Output();
        const uint64_t totalFrames = length->Frames();
        if (!current || totalFrames == 0) return 0.0f;
        const double heard = static_cast<double>(current->HeardFrames()) / static_cast<double>(totalFrames);
        return static_cast<float>(std::clamp(heard, 0.0, 1.0));
    }

    const wchar_t* LengthText() { return Output() ? length->Text() : kMissingText; }

private:
    std::mutex lock;  // guards output
    std::shared_ptr<audio::WaveOutput> output;
    StreamFormat format = {};  // fixed at creation
    const std::shared_ptr<SoundLength> length;
};

// The level cubed: a tenth of the travel is about 60 dB down, and each step sounds about as large
// as the next, as with the system's own volume control.
uint32_t GainForVolume(int percent)
{
    const double level = std::clamp(percent, 0, 100) / 100.0;
    return static_cast<uint32_t>(std::lround(level * level * level * audio::WaveOutput::kUnityGain));
}

Sound* AsSound(PlaybackSound* sound)
{
    return static_cast<Sound*>(sound);
}

}  // namespace

class PreparedSound {
public:
    std::string path;
    audio::PrimedSource source;
    int channels = 0;
    int rate = 0;
    uint64_t totalFrames = 0;
    bool lengthExact = true;
    bool held = false;  // starts paused
    // Null when the sound is to follow the current one on its device.
    std::shared_ptr<audio::WaveOutput> output;
};

// Sounds that are no longer current, kept before they are freed.
constexpr size_t kRetiredSoundsKept = 4;

class EngineCore {
public:
    std::mutex lock;                             // guards sounds and current; one start or teardown at a time
    std::vector<std::unique_ptr<Sound>> sounds;  // the retired ones, oldest first, then current
    Sound* current = nullptr;
    LengthCounter lengthCounter;
    std::atomic<int> volume{100};

    // Under lock, after current was set: frees the oldest retired sounds past the ones kept.
    void FreeRetiredSounds()
    {
        if (sounds.size() <= kRetiredSoundsKept + 1) return;
        const size_t excess = sounds.size() - (kRetiredSoundsKept + 1);
        for (size_t i = 0; i < excess; ++i) sounds[i]->End();
        sounds.erase(sounds.begin(), sounds.begin() + static_cast<std::ptrdiff_t>(excess));
    }
};

PlaybackEngine::PlaybackEngine() : ActiveSound(nullptr), core(nullptr)
{
    if (mpg123_init() != MPG123_OK) throw "The mp3 decoder could not be initialised.";
    core = new (std::nothrow) EngineCore;
    if (core == nullptr) throw "Not enough memory for the playback engine.";
}

PlaybackEngine::~PlaybackEngine()
{
    try {
        std::vector<std::shared_ptr<audio::WaveOutput>> stopped;
        {
            std::lock_guard<std::mutex> guard(core->lock);
            for (auto& sound : core->sounds) {
                if (auto output = sound->End()) stopped.push_back(std::move(output));
            }
        }
        // Bounded: a device that hangs is left to the process exit.
        const DWORD deadline = GetTickCount() + 1000;
        for (auto& output : stopped) {
            const LONG left = static_cast<LONG>(deadline - GetTickCount());
            output->WaitClosed(left > 0 ? static_cast<DWORD>(left) : 0);
        }
    } catch (...) {
    }
    delete core;
}

PreparedSound* PlaybackEngine::PrepareSound(const char* path)
{
    return Prepare(path, false, 0);
}

PreparedSound* PlaybackEngine::PrepareHeldSound(const char* path, uint32_t atMs)
{
    return Prepare(path, true, atMs);
}

PreparedSound* PlaybackEngine::Prepare(const char* path, bool held, uint32_t atMs)
{
    try {
        auto decoder = audio::OpenAudioDecoder(path);
        if (!decoder) return nullptr;
        auto prepared = std::make_unique<PreparedSound>();
        prepared->path = path;
        prepared->channels = decoder->Channels();
        prepared->rate = decoder->Rate();
        prepared->totalFrames = decoder->TotalFrames();
        prepared->lengthExact = decoder->LengthExact();
        prepared->held = held;
        uint64_t firstFrame = static_cast<uint64_t>(atMs) * static_cast<uint64_t>(prepared->rate) / 1000;
        if (firstFrame >= prepared->totalFrames) firstFrame = 0;
        prepared->source = audio::PrimedSource::Prime(std::move(decoder), firstFrame);
        if (!prepared->source.decoder && firstFrame != 0) {
            // The seek failed: the file is played from its start instead, if it plays at all.
            decoder = audio::OpenAudioDecoder(path);
            prepared->source = audio::PrimedSource::Prime(std::move(decoder));
        }
        if (!prepared->source.decoder) return nullptr;

        // A sound whose file is read to its end waits for one to follow it; the device is opened
        // here only when this one cannot.
        std::shared_ptr<audio::WaveOutput> playing;
        if (!held) {
            std::lock_guard<std::mutex> guard(core->lock);
            if (core->current != nullptr) playing = core->current->Output();
        }
        const bool follows = playing && playing->Channels() == prepared->channels &&
                             playing->Rate() == prepared->rate && playing->SourceExhausted();
        if (!follows) {
            prepared->output = audio::WaveOutput::Open(std::move(prepared->source));
            if (!prepared->output) return nullptr;
        }
        return prepared.release();
    } catch (...) {
        return nullptr;
    }
}

void PlaybackEngine::DiscardPrepared(PreparedSound* prepared)
{
    try {
        if (prepared != nullptr && prepared->output) prepared->output->Stop();
    } catch (...) {
    }
    delete prepared;
}

bool PlaybackEngine::OpenOutput(PreparedSound* prepared)
{
    try {
        if (prepared == nullptr || !prepared->source.decoder) return false;
        prepared->output = audio::WaveOutput::Open(std::move(prepared->source));
        return prepared->output != nullptr;
    } catch (...) {
        return false;
    }
}

void PlaybackEngine::WaitForEndingSound(const PreparedSound* next, unsigned long timeoutMs)
{
    if (next == nullptr || !next->output) return;
    std::shared_ptr<audio::WaveOutput> playing;
    {
        std::lock_guard<std::mutex> guard(core->lock);
        if (core->current != nullptr) playing = core->current->Output();
    }
    if (playing && playing->Ended()) playing->WaitDrained(timeoutMs);
}

bool PlaybackEngine::StartPrepared(PreparedSound*& prepared)
{
    if (prepared == nullptr) return false;
    std::unique_ptr<PreparedSound, decltype(&PlaybackEngine::DiscardPrepared)> owned(prepared, &DiscardPrepared);
    prepared = nullptr;
    try {
        auto length = std::make_shared<SoundLength>(owned->totalFrames, owned->rate);
        auto sound = std::make_unique<Sound>(owned->channels, owned->rate, length);

        std::lock_guard<std::mutex> guard(core->lock);
        core->sounds.reserve(core->sounds.size() + 1);
        Sound* previous = core->current;
        std::shared_ptr<audio::WaveOutput> output;
        if (!owned->output) {
            const auto playing = previous != nullptr ? previous->Output() : nullptr;
            if (!playing || !playing->ContinueWith(owned->source)) {
                // The current sound was sought back or stopped since: this one needs a device
                // after all, which the caller opens without holding anything.
                prepared = owned.release();
                return false;
            }
            previous->Detach();
            output = playing;
        } else {
            output = std::move(owned->output);
            if (previous != nullptr) {
                core->lengthCounter.Count(nullptr, std::string());  // its count is of no use now
                if (const auto replaced = previous->End()) replaced->WaitSilent(kReplacedCloseWaitMs);
            }
            output->SetGain(GainForVolume(core->volume));
            if ((owned->held && !output->Pause(true)) || !output->Play()) {
                output->Stop();
                return false;
            }
        }
        sound->Attach(output);
        Sound* started = sound.get();
        core->sounds.push_back(std::move(sound));
        core->current = started;
        core->FreeRetiredSounds();
        core->lengthCounter.Count(owned->lengthExact ? nullptr : length, owned->path);
        __atomic_store_n(&ActiveSound, static_cast<PlaybackSound*>(started), __ATOMIC_RELEASE);
        return true;
    } catch (...) {
        return false;
    }
}

bool PlaybackEngine::StartPlaying(const char* path)
{
    PreparedSound* prepared = PrepareSound(path);
    WaitForEndingSound(prepared, audio::WaveOutput::kEndLeadMs + 250);
    if (StartPrepared(prepared)) return true;
    if (prepared == nullptr) return false;
    const bool started = OpenOutput(prepared) && StartPrepared(prepared);
    DiscardPrepared(prepared);  // null once taken
    return started;
}

void PlaybackEngine::SetVolume(int percent)
{
    // Under the engine's lock, so a sound that a start commits meanwhile gets the new level too.
    std::lock_guard<std::mutex> guard(core->lock);
    core->volume = std::clamp(percent, 0, 100);
    if (core->current == nullptr) return;
    if (const auto output = core->current->Output()) output->SetGain(GainForVolume(core->volume));
}

int PlaybackEngine::Volume() const
{
    return core->volume;
}

bool PlaybackEngine::Pause(bool pause)
{
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr && AsSound(sound)->Pause(pause);
}

bool PlaybackEngine::Seek(float fraction)
{
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr && AsSound(sound)->Seek(fraction);
}

float PlaybackEngine::GetPlayPos()
{
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr ? AsSound(sound)->PlayPos() : 0.0f;
}

const wchar_t* PlaybackEngine::GetPlayTime()
{
    PlaybackSound* sound = __atomic_load_n(&ActiveSound, __ATOMIC_ACQUIRE);
    return sound != nullptr ? AsSound(sound)->LengthText() : kMissingText;
}
