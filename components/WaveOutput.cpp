// Feeds a waveOut device from a decoder on a thread of its own, a few buffers ahead of the speakers.
#include "components/WaveOutput.h"

#include <algorithm>
#include <chrono>

namespace audio {

namespace {

constexpr size_t kBufferCount = 4;
constexpr DWORD kStopTimeoutMs = 3000;
// Queries give the last known answer, and commands give up, rather than wait long behind a
// stalled device call.
constexpr auto kQueryWait = std::chrono::milliseconds(100);
constexpr auto kCommandWait = std::chrono::milliseconds(2000);

// The device sets WHDR_DONE from its own thread.
bool IsDone(const WAVEHDR& header) {
    return (*static_cast<const volatile DWORD*>(&header.dwFlags) & WHDR_DONE) != 0;
}

}  // namespace

WaveOutput::WaveOutput(std::unique_ptr<AudioDecoder> source)
    : decoder(std::move(source)),
      channels(decoder->Channels()),
      rate(decoder->Rate()),
      // About a tenth of a second per buffer.
      framesPerBuffer(static_cast<size_t>(std::max(1024, decoder->Rate() / 10))) {}

WaveOutput::~WaveOutput() {
    try {
        CloseDevice();
    } catch (...) {
    }
    if (thread.load() != nullptr) CloseHandle(thread.load());
    if (wake != nullptr) CloseHandle(wake);
}

std::shared_ptr<WaveOutput> WaveOutput::Open(std::unique_ptr<AudioDecoder> decoder) {
    if (!decoder || decoder->Channels() < 1 || decoder->Channels() > 2 || decoder->Rate() <= 0) return nullptr;
    std::shared_ptr<WaveOutput> output(new WaveOutput(std::move(decoder)));
    output->buffers.resize(kBufferCount);
    for (Buffer& buffer : output->buffers) buffer.samples.resize(output->framesPerBuffer * output->channels);

    // The first buffer proves that the file really decodes before anything else is touched.
    Buffer& first = output->buffers.front();
    const size_t frames = output->decoder->Read(first.samples.data(), output->framesPerBuffer);
    if (frames == 0) return nullptr;
    first.header.dwBufferLength = static_cast<DWORD>(frames * output->channels * sizeof(int16_t));
    if (!output->OpenDevice()) return nullptr;
    return output;
}

bool WaveOutput::OpenDevice() {
    wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (wake == nullptr) return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * sizeof(int16_t));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    HWAVEOUT opened = nullptr;
    if (waveOutOpen(&opened, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(wake), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
        return false;
    }
    device = opened;
    return true;
}

bool WaveOutput::Play() {
    {
        std::lock_guard<std::timed_mutex> guard(lock);
        if (device == nullptr || thread.load() != nullptr) return false;
        Buffer& first = buffers.front();
        if (!QueueBuffer(first, first.header.dwBufferLength / (channels * sizeof(int16_t)))) return false;
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

DWORD WINAPI WaveOutput::ThreadProc(void* param) {
    auto* holder = static_cast<std::shared_ptr<WaveOutput>*>(param);
    std::shared_ptr<WaveOutput> self = std::move(*holder);
    delete holder;
    try {
        self->Run();
    } catch (...) {
    }
    try {
        self->CloseDevice();
    } catch (...) {
    }
    return 0;
}

void WaveOutput::Run() {
    // Above the window thread, so painting and scanning never starve the device.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    while (!stopRequested.load()) {
        {
            std::lock_guard<std::timed_mutex> guard(lock);
            if (device == nullptr) return;
            FillBuffers();
            CheckEnded();
        }
        WaitForSingleObject(wake, ended.load() ? 200 : 50);
    }
}

void WaveOutput::FillBuffers() {
    for (Buffer& buffer : buffers) {
        if (buffer.queued && IsDone(buffer.header)) {
            waveOutUnprepareHeader(device, &buffer.header, sizeof(WAVEHDR));
            buffer.queued = false;
        }
    }
    // Nothing is queued while paused: a device whose queue ran empty (after a seek) would be
    // started again by the next buffer on some systems, pause or not.
    if (paused.load()) return;
    for (Buffer& buffer : buffers) {
        if (sourceEnded) return;
        if (buffer.queued) continue;
        const size_t frames = decoder->Read(buffer.samples.data(), framesPerBuffer);
        if (frames == 0 || !QueueBuffer(buffer, frames)) sourceEnded = true;
    }
}

bool WaveOutput::QueueBuffer(Buffer& buffer, size_t frames) {
    buffer.header = {};
    buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
    buffer.header.dwBufferLength = static_cast<DWORD>(frames * channels * sizeof(int16_t));
    if (waveOutPrepareHeader(device, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    if (waveOutWrite(device, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(device, &buffer.header, sizeof(WAVEHDR));
        return false;
    }
    buffer.queued = true;
    writtenFrames += frames;
    return true;
}

void WaveOutput::CheckEnded() {
    if (!sourceEnded || ended.load()) return;
    for (const Buffer& buffer : buffers) {
        if (buffer.queued && !IsDone(buffer.header)) return;
    }
    lastHeard = baseFrame + writtenFrames;
    ended = true;
}

void WaveOutput::Stop() {
    stopRequested = true;
    if (wake != nullptr) SetEvent(wake);
    HANDLE running = thread.load();
    // A device that hangs must not hang the caller: the thread closes it whenever it gets free.
    if (running != nullptr && WaitForSingleObject(running, kStopTimeoutMs) != WAIT_OBJECT_0) return;
    CloseDevice();
}

void WaveOutput::CloseDevice() {
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
}

bool WaveOutput::Pause(bool pause) {
    std::unique_lock<std::timed_mutex> guard(lock, std::defer_lock);
    if (!guard.try_lock_for(kCommandWait) || device == nullptr) return false;
    if ((pause ? waveOutPause(device) : waveOutRestart(device)) != MMSYSERR_NOERROR) return false;
    paused = pause;
    if (!pause) SetEvent(wake);  // refill what was held back while paused
    return true;
}

bool WaveOutput::SeekTo(uint64_t frame) {
    std::unique_lock<std::timed_mutex> guard(lock, std::defer_lock);
    if (!guard.try_lock_for(kCommandWait) || device == nullptr) return false;
    waveOutReset(device);
    for (Buffer& buffer : buffers) {
        if (buffer.queued) waveOutUnprepareHeader(device, &buffer.header, sizeof(WAVEHDR));
        buffer.queued = false;
    }
    // A reset device starts again with the next write; a paused sound must stay paused (and the
    // output thread holds its buffers back until the sound resumes).
    if (paused.load()) waveOutPause(device);

    bool moved = true;
    const uint64_t total = decoder->TotalFrames();
    if (total != 0 && frame >= total) {
        frame = total;
        sourceEnded = true;
    } else {
        moved = decoder->SeekTo(frame);
        sourceEnded = !moved;  // where a failed seek left the decoder is unknown: end there
    }
    baseFrame = frame;
    positionOrigin = DevicePositionFrames();
    writtenFrames = 0;
    lastHeard = frame;
    ended = false;
    SetEvent(wake);
    return moved;
}

uint64_t WaveOutput::HeardFrames() {
    std::unique_lock<std::timed_mutex> guard(lock, std::defer_lock);
    if (!guard.try_lock_for(kQueryWait) || device == nullptr || ended.load()) return lastHeard.load();
    const uint64_t position = DevicePositionFrames();
    const uint64_t played = position > positionOrigin ? position - positionOrigin : 0;
    lastHeard = baseFrame + std::min(played, writtenFrames);
    return lastHeard.load();
}

uint64_t WaveOutput::DevicePositionFrames() {
    // Milliseconds, not samples: when the system converts to another device format its sample
    // counts are in that format, while time is the same in both.
    MMTIME time = {};
    time.wType = TIME_MS;
    if (waveOutGetPosition(device, &time, sizeof time) != MMSYSERR_NOERROR) return positionOrigin;
    switch (time.wType) {
    case TIME_MS:
        return static_cast<uint64_t>(time.u.ms) * static_cast<uint64_t>(rate) / 1000;
    case TIME_SAMPLES:
        return time.u.sample;
    case TIME_BYTES:
        return time.u.cb / (channels * sizeof(int16_t));
    default:
        return positionOrigin;
    }
}

}  // namespace audio
