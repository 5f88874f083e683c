// Feeds a waveOut device from a decoder on a thread of its own, a few buffers ahead of the speakers.
#include "components/WaveOutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace audio {

namespace {

constexpr size_t kBufferCount = 3;
// Queries give the last known answer, and commands give up, rather than wait long behind a
// stalled device call: the window thread asks them.
constexpr auto kQueryWait = std::chrono::milliseconds(100);
constexpr auto kCommandWait = std::chrono::milliseconds(250);

// The device sets WHDR_DONE from its own thread.
bool IsDone(const WAVEHDR& header)
{
    return (*static_cast<const volatile DWORD*>(&header.dwFlags) & WHDR_DONE) != 0;
}

// Buffers of 100 ms, three of them queued. The queue is what a volume change waits behind (300 ms
// at most), and also the time a following file has to be opened in once the current one's end is
// told (kEndLeadMs, 250 ms, of it): a shorter one would put gapless playback at risk on a busy
// machine. Every buffer handed back costs the device's thread and ours a wake, so they are few
// and long rather than many and short.
size_t FramesPerBuffer(int rate)
{
    return static_cast<size_t>(std::max(256, rate / 10));
}

// Wine runs every waveOut open and close of a process on one thread of its own, and a close can
// take as long as the device takes to let go of what it still holds (far longer than on a sound
// card where the sound goes through a paced pipe). A device opened just after another was
// stopped, as when a second launch replaces the list, would wait behind that close. So a stopped
// device is silenced at once and closed only once a start that follows has had a moment to open
// its own.
constexpr DWORD kCloseGraceMs = 100;
constexpr DWORD kOpeningWaitMs = 1000;  // a stalled open keeps no close back for long
// Plain system objects: nothing to destroy at exit while an output thread may still wait on them.
SRWLOCK openingLock = SRWLOCK_INIT;
CONDITION_VARIABLE openingChanged = CONDITION_VARIABLE_INIT;
int devicesOpening = 0;           // waveOutOpen calls under way
unsigned devicesOpenedSoFar = 0;  // finished, whether they worked or not

// Returns the count of finished opens.
unsigned CountOpening(int change)
{
    AcquireSRWLockExclusive(&openingLock);
    devicesOpening += change;
    if (change < 0) ++devicesOpenedSoFar;
    const unsigned count = devicesOpenedSoFar;
    ReleaseSRWLockExclusive(&openingLock);
    WakeAllConditionVariable(&openingChanged);
    return count;
}

unsigned DevicesOpenedSoFar()
{
    AcquireSRWLockShared(&openingLock);
    const unsigned count = devicesOpenedSoFar;
    ReleaseSRWLockShared(&openingLock);
    return count;
}

// Under openingLock: until done() holds or timeoutMs have gone by.
template <typename Condition>
void WaitWhileOpening(DWORD timeoutMs, Condition done)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return;
        SleepConditionVariableSRW(&openingChanged, &openingLock, timeoutMs - spent, 0);
    }
}

// Until an open counted after `before` has ended, or none began within the grace; and then until
// no open is under way.
void WaitForFollowingOpen(unsigned before)
{
    AcquireSRWLockExclusive(&openingLock);
    WaitWhileOpening(kCloseGraceMs, [&] { return devicesOpening > 0 || devicesOpenedSoFar != before; });
    WaitWhileOpening(kOpeningWaitMs, [] { return devicesOpening == 0; });
    ReleaseSRWLockExclusive(&openingLock);
}

}  // namespace

PrimedSource PrimedSource::Prime(std::unique_ptr<AudioDecoder> decoder, uint64_t firstFrame)
{
    PrimedSource primed;
    if (!decoder || !IsPlayableFormat(decoder->Rate(), decoder->Channels())) return primed;
    if (firstFrame != 0 && !decoder->SeekTo(firstFrame)) return primed;
    std::vector<int16_t> head(FramesPerBuffer(decoder->Rate()) * decoder->Channels());
    const size_t frames = decoder->Read(head.data(), head.size() / decoder->Channels());
    if (frames == 0) return primed;
    head.resize(frames * decoder->Channels());
    const double gain = decoder->TrackGain();
    if (std::isfinite(gain) && gain > 0) {
        primed.gain = static_cast<uint32_t>(std::lround(std::min(gain, 64.0) * WaveOutput::kUnityGain));
    }
    primed.head = std::move(head);
    primed.decoder = std::move(decoder);
    primed.firstFrame = firstFrame;
    return primed;
}

WaveOutput::WaveOutput(PrimedSource source)
    : channels(source.Channels()), rate(source.Rate()), framesPerBuffer(FramesPerBuffer(source.Rate())),
      decoder(std::move(source.decoder)), head(std::move(source.head)), baseFrame(source.firstFrame),
      lastHeard(source.firstFrame), sourceGain(source.gain)
{
}

WaveOutput::~WaveOutput()
{
    try {
        CloseDevice();
    } catch (...) {
    }
    if (thread.load() != nullptr) CloseHandle(thread.load());
    if (wake != nullptr) CloseHandle(wake);
    if (closed != nullptr) CloseHandle(closed);
    if (silent != nullptr) CloseHandle(silent);
    if (drainedSignal != nullptr) CloseHandle(drainedSignal);
}

std::shared_ptr<WaveOutput> WaveOutput::Open(PrimedSource source)
{
    if (!source.decoder) return nullptr;
    std::shared_ptr<WaveOutput> output(new WaveOutput(std::move(source)));
    output->buffers.resize(kBufferCount);
    for (Buffer& buffer : output->buffers) buffer.samples.resize(output->framesPerBuffer * output->channels);
    if (!output->OpenDevice()) return nullptr;
    return output;
}

bool WaveOutput::OpenDevice()
{
    wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    silent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    drainedSignal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (wake == nullptr || closed == nullptr || silent == nullptr || drainedSignal == nullptr) return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * sizeof(int16_t));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    HWAVEOUT opened = nullptr;
    CountOpening(+1);
    const MMRESULT result =
        waveOutOpen(&opened, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(wake), 0, CALLBACK_EVENT);
    openedAs = CountOpening(-1);
    if (result != MMSYSERR_NOERROR) return false;
    device = opened;
    return true;
}

bool WaveOutput::Play()
{
    {
        std::lock_guard<std::timed_mutex> guard(lock);
        if (device == nullptr || thread.load() != nullptr) return false;
    }
    auto* param = new (std::nothrow) std::shared_ptr<WaveOutput>(shared_from_this());
    if (param == nullptr) return false;
    HANDLE started = CreateThread(nullptr, 0, ThreadProc, param, 0, nullptr);
    if (started == nullptr) {
        delete param;
        return false;
    }
    thread = started;
    return true;
}

DWORD WINAPI WaveOutput::ThreadProc(void* param)
{
    auto* holder = static_cast<std::shared_ptr<WaveOutput>*>(param);
    std::shared_ptr<WaveOutput> self = std::move(*holder);
    delete holder;
    try {
        self->Run();
    } catch (...) {
    }
    try {
        // A start that replaced this sound opened its device first; one that comes after the stop
        // (the list replaced) may be opening it now, or soon.
        if (self->stopRequested.load() && DevicesOpenedSoFar() == self->openedAs) {
            self->SilenceDevice();
            WaitForFollowingOpen(self->openedAs);
        }
        self->CloseDevice();
    } catch (...) {
    }
    return 0;
}

void WaveOutput::Run()
{
    // Above the window thread, so painting and scanning never starve the device.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    while (!stopRequested.load()) {
        ApplySeeks();
        // Woken when the device hands a buffer back and for every command; the timeout, longer
        // than a buffer, is only a safety net: a shorter one would wake the thread once more for
        // nothing between most buffers.
        DWORD waitMs = 200;
        {
            std::lock_guard<std::timed_mutex> guard(lock);
            if (device == nullptr) return;
            FillBuffers();
            CheckEnded();
            if (released.load() && drained.load()) return;
            // Near the end the lead left is watched closely, so the end is told in time.
            if (sourceEnded) waitMs = drained.load() ? 200 : 20;
        }
        WaitForSingleObject(wake, waitMs);
    }
}

void WaveOutput::FillBuffers()
{
    for (Buffer& buffer : buffers) {
        if (buffer.queued && IsDone(buffer.header)) buffer.queued = false;
    }
    // Nothing is queued while paused: a device whose queue ran empty (after a seek) would be
    // started again by the next buffer on some systems, pause or not.
    if (paused.load()) return;
    // The device plays buffers in the order they are written, whichever slot they are in.
    for (Buffer& buffer : buffers) {
        if (sourceEnded) return;
        if (buffer.queued) continue;
        const size_t frames = ReadSource(buffer.samples.data(), framesPerBuffer);
        ApplyGain(buffer.samples.data(), frames);
        if (frames == 0 || !QueueBuffer(buffer, frames)) {
            sourceEnded = true;
            return;
        }
        // A short read is the end of the source: a source that follows may be queued at once.
        if (frames < framesPerBuffer) sourceEnded = true;
    }
}

size_t WaveOutput::ReadSource(int16_t* out, size_t maxFrames)
{
    size_t done = 0;
    if (headUsed < head.size()) {
        const size_t frames = std::min(maxFrames, (head.size() - headUsed) / channels);
        std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(headUsed), frames * channels, out);
        headUsed += frames * channels;
        done = frames;
        if (headUsed == head.size()) std::vector<int16_t>().swap(head), headUsed = 0;
    }
    if (done < maxFrames && decoder) done += decoder->Read(out + done * channels, maxFrames - done);
    return done;
}

void WaveOutput::ApplyGain(int16_t* samples, size_t frames)
{
    const uint32_t target = targetGain.load();
    if (frames == 0 || (target == kUnityGain && appliedGain == kUnityGain && sourceGain == kUnityGain)) return;
    // A change is ramped over its first 10 ms: long enough not to click, short enough to be heard
    // at once.
    const int64_t from = appliedGain;
    const int64_t step = static_cast<int64_t>(target) - from;
    const int64_t rampFrames = std::max(1, rate / 100);
    for (size_t frame = 0; frame < frames; ++frame) {
        const int64_t done = std::min(static_cast<int64_t>(frame) + 1, rampFrames);
        const int64_t volume = from + step * done / rampFrames;
        const int64_t gain = (volume * sourceGain + 0x8000) >> 16;
        for (int channel = 0; channel < channels; ++channel, ++samples) {
            const int64_t scaled = (*samples * gain + 0x8000) >> 16;
            *samples = static_cast<int16_t>(std::clamp<int64_t>(scaled, INT16_MIN, INT16_MAX));
        }
    }
    appliedGain = target;
}

bool WaveOutput::QueueBuffer(Buffer& buffer, size_t frames)
{
    // A header stays prepared from one use to the next, which spares two calls to the device a
    // buffer; only a buffer of another length (the last of a source) is prepared again.
    const DWORD bytes = static_cast<DWORD>(frames * channels * sizeof(int16_t));
    if ((buffer.header.dwFlags & WHDR_PREPARED) && buffer.header.dwBufferLength != bytes)
        waveOutUnprepareHeader(device, &buffer.header, sizeof(WAVEHDR));
    if (!(buffer.header.dwFlags & WHDR_PREPARED)) {
        buffer.header = {};
        buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
        buffer.header.dwBufferLength = bytes;
        if (waveOutPrepareHeader(device, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    }
    buffer.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    if (waveOutWrite(device, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    buffer.queued = true;
    writtenFrames += frames;
    return true;
}

void WaveOutput::CheckEnded()
{
    if (!sourceEnded || drained.load()) return;
    bool allDone = true;
    for (const Buffer& buffer : buffers) {
        if (buffer.queued && !IsDone(buffer.header)) allDone = false;
    }
    if (allDone) {
        lastHeard = baseFrame + writtenFrames;
        drained = true;
        SetEvent(drainedSignal);
        ended = true;
        return;
    }
    // A paused sound is not near its end: what follows would be queued on a paused device.
    if (ended.load() || paused.load()) return;
    const uint64_t left = writtenFrames - PlayedFrames();
    if (left * 1000 < static_cast<uint64_t>(kEndLeadMs) * static_cast<uint64_t>(rate)) ended = true;
}

bool WaveOutput::SourceExhausted()
{
    std::unique_lock<std::timed_mutex> guard(lock, std::defer_lock);
    return guard.try_lock_for(kQueryWait) && device != nullptr && sourceEnded && !SeekOnItsWay() &&
           !stopRequested.load() && !released.load();
}

bool WaveOutput::ContinueWith(PrimedSource& next)
{
    if (!next.decoder || next.Channels() != channels || next.Rate() != rate) return false;
    std::unique_lock<std::timed_mutex> guard(lock, std::defer_lock);
    if (!guard.try_lock_for(kCommandWait) || device == nullptr || !sourceEnded || SeekOnItsWay() ||
        stopRequested.load() || released.load() || paused.load()) {
        return false;
    }
    // The next source's first frame is heard where the device's count reaches the end of what
    // is queued now.
    positionOrigin += writtenFrames;
    baseFrame = 0;
    writtenFrames = 0;
    decoder = std::move(next.decoder);
    head = std::move(next.head);
    sourceGain = next.gain;  // the last buffer of the one before is queued already
    headUsed = 0;
    sourceEnded = false;
    ended = false;
    drained = false;
    ResetEvent(drainedSignal);
    lastHeard = 0;
    SetEvent(wake);
    return true;
}

void WaveOutput::Stop()
{
    stopRequested = true;
    if (thread.load() == nullptr) {
        CloseDevice();  // never played: nothing runs that would close it
        return;
    }
    SetEvent(wake);
}

void WaveOutput::Release()
{
    released = true;
    if (thread.load() == nullptr) {
        CloseDevice();
        return;
    }
    SetEvent(wake);
}

bool WaveOutput::WaitClosed(DWORD timeoutMs)
{
    return closed == nullptr || WaitForSingleObject(closed, timeoutMs) == WAIT_OBJECT_0;
}

bool WaveOutput::WaitSilent(DWORD timeoutMs)
{
    return silent == nullptr || WaitForSingleObject(silent, timeoutMs) == WAIT_OBJECT_0;
}

bool WaveOutput::WaitDrained(DWORD timeoutMs)
{
    if (drainedSignal == nullptr || closed == nullptr) return false;
    const HANDLE ends[] = {drainedSignal, closed};  // a device closed meanwhile has nothing left either
    return WaitForMultipleObjects(2, ends, FALSE, timeoutMs) != WAIT_TIMEOUT;
}

void WaveOutput::SilenceDevice()
{
    std::lock_guard<std::timed_mutex> guard(lock);
    // A pause silences the device at once, as a reset would; the reset waits for the close. Under
    // Wine a reset also drops what the sound system still holds, which can keep the thread that
    // opens every device busy for tens of milliseconds: a start that follows would wait for it.
    if (device != nullptr && waveOutPause(device) != MMSYSERR_NOERROR) {
        waveOutReset(device);
        for (Buffer& buffer : buffers) buffer.queued = false;  // handed back done, and still prepared
    }
    if (silent != nullptr) SetEvent(silent);
}

void WaveOutput::CloseDevice()
{
    std::lock_guard<std::timed_mutex> guard(lock);
    if (device != nullptr) {
        waveOutReset(device);
        for (Buffer& buffer : buffers) {
            if (buffer.header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device, &buffer.header, sizeof(WAVEHDR));
            buffer.queued = false;
        }
        waveOutClose(device);
        device = nullptr;
    }
    buffers.clear();
    buffers.shrink_to_fit();
    decoder.reset();
    std::vector<int16_t>().swap(head);
    if (silent != nullptr) SetEvent(silent);
    if (closed != nullptr) SetEvent(closed);
}

bool WaveOutput::Pause(bool pause)
{
    std::unique_lock<std::timed_mutex> guard(lock, std::defer_lock);
    if (!guard.try_lock_for(kCommandWait) || device == nullptr) return false;
    if ((pause ? waveOutPause(device) : waveOutRestart(device)) != MMSYSERR_NOERROR) return false;
    paused = pause;
    if (!pause) SetEvent(wake);  // refill what was held back while paused
    return true;
}

bool WaveOutput::SeekTo(uint64_t frame)
{
    // Only a playing output has a thread to apply it.
    if (thread.load() == nullptr || stopRequested.load() || released.load() ||
        WaitForSingleObject(closed, 0) == WAIT_OBJECT_0) {
        return false;
    }
    seekTarget = frame;
    ++seeksAsked;
    SetEvent(wake);
    return true;
}

// Output thread. The decoder's seek runs without the lock, so the window thread's queries and
// pauses go on meanwhile; the device stays silent until it is done.
void WaveOutput::ApplySeeks()
{
    while (SeekOnItsWay() && !stopRequested.load()) {
        const unsigned asked = seeksAsked.load();
        uint64_t frame = seekTarget.load();
        std::unique_ptr<AudioDecoder> seeking;
        {
            std::lock_guard<std::timed_mutex> guard(lock);
            if (device == nullptr || !decoder) {
                seeksDone = asked;
                return;
            }
            ResetForSeek();
            seeking = std::move(decoder);
        }
        bool moved = true;
        // A guessed length must not end a seek that the file can still follow.
        const uint64_t total = seeking->LengthExact() ? seeking->TotalFrames() : 0;
        if (total != 0 && frame >= total) {
            frame = total;
            moved = false;
        } else {
            moved = seeking->SeekTo(frame);  // where a failed seek left the decoder is unknown: end there
        }
        std::lock_guard<std::timed_mutex> guard(lock);
        decoder = std::move(seeking);
        FinishSeek(frame, moved);
        seeksDone = asked;
    }
}

// Under the lock: silences the device and forgets what was queued and decoded ahead.
void WaveOutput::ResetForSeek()
{
    waveOutReset(device);
    position.Restart();
    for (Buffer& buffer : buffers) buffer.queued = false;  // handed back done, and still prepared
    std::vector<int16_t>().swap(head);
    headUsed = 0;
    // A reset device starts again with the next write; a paused sound must stay paused (and the
    // output thread holds its buffers back until the sound resumes).
    if (paused.load()) waveOutPause(device);
    sourceEnded = false;  // nothing may follow on this device until the seek has landed
    ended = false;
    drained = false;
    ResetEvent(drainedSignal);
}

// Under the lock: the device counts from frame on.
void WaveOutput::FinishSeek(uint64_t frame, bool moved)
{
    if (paused.load()) waveOutPause(device);  // paused meanwhile, on the reset device
    sourceEnded = !moved;
    baseFrame = frame;
    positionOrigin = DevicePositionFrames();
    writtenFrames = 0;
    lastHeard = frame;
    ended = false;
    drained = false;
    ResetEvent(drainedSignal);
}

uint64_t WaveOutput::HeardFrames()
{
    if (SeekOnItsWay()) return seekTarget.load();
    std::unique_lock<std::timed_mutex> guard(lock, std::defer_lock);
    // A stopped device may be reset and not yet closed: it counts from 0 again.
    if (!guard.try_lock_for(kQueryWait) || device == nullptr || drained.load() || stopRequested.load())
        return lastHeard.load();
    lastHeard = baseFrame + PlayedFrames();
    return lastHeard.load();
}

uint64_t WaveOutput::PlayedFrames()
{
    const uint64_t now = DevicePositionFrames();
    return now > positionOrigin ? std::min(now - positionOrigin, writtenFrames) : 0;
}

uint64_t WaveOutput::DevicePositionFrames()
{
    // Milliseconds, not samples: when the system converts to another device format its sample
    // counts are in that format, while time is the same in both. Devices that cannot tell time
    // answer in bytes or samples instead, in 32 bits that wrap within hours.
    MMTIME time = {};
    time.wType = TIME_MS;
    if (waveOutGetPosition(device, &time, sizeof time) != MMSYSERR_NOERROR) return lastPosition;
    if (time.wType != positionUnit) {
        position.Restart();
        positionUnit = time.wType;
    }
    switch (time.wType) {
    case TIME_MS:
        lastPosition = position.Extend(time.u.ms) * static_cast<uint64_t>(rate) / 1000;
        break;
    case TIME_SAMPLES:
        lastPosition = position.Extend(time.u.sample);
        break;
    case TIME_BYTES:
        lastPosition = position.Extend(time.u.cb) / (channels * sizeof(int16_t));
        break;
    default:
        break;
    }
    return lastPosition;
}

}  // namespace audio
