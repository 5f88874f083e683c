// One sound's way to the speakers: a waveOut device fed from a decoder by a thread of its own.
#pragma once

#include "components/AudioDecoder.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

// Thread-safe. The output thread holds a reference of its own, so the object outlives every
// caller that still uses it; the thread closes the device and lets go when it is stopped.
class WaveOutput : public std::enable_shared_from_this<WaveOutput> {
public:
    // Decodes the first buffer and opens the device for the decoder's format; nothing is heard
    // yet. Null when the source yields no audio or no device takes the format.
    static std::shared_ptr<WaveOutput> Open(std::unique_ptr<AudioDecoder> decoder);
    ~WaveOutput();
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

    // Starts the output thread. False when it could not be started.
    bool Play();
    // Stops the sound at once and waits (bounded) for the thread to close the device. Idempotent.
    void Stop();

    bool Pause(bool pause);
    bool Paused() const { return paused.load(); }
    // Moves playback to frame; past the end the sound simply ends.
    bool SeekTo(uint64_t frame);
    // Frames the device reports as played, counted from the start of the source.
    uint64_t HeardFrames();
    // True once the last decoded frame has been played.
    bool Ended() const { return ended.load(); }

private:
    struct Buffer {
        WAVEHDR header = {};
        std::vector<int16_t> samples;
        bool queued = false;
    };

    explicit WaveOutput(std::unique_ptr<AudioDecoder> decoder);
    bool OpenDevice();
    void CloseDevice();
    void Run();
    void FillBuffers();
    bool QueueBuffer(Buffer& buffer, size_t frames);
    void CheckEnded();
    uint64_t DevicePositionFrames();
    static DWORD WINAPI ThreadProc(void* param);

    std::unique_ptr<AudioDecoder> decoder;
    const int channels;
    const int rate;
    const size_t framesPerBuffer;

    // Guards the device handle, the buffers, the decoder and the position bookkeeping.
    std::timed_mutex lock;
    HWAVEOUT device = nullptr;
    HANDLE wake = nullptr;  // signalled by the device when a buffer is done, and by us for commands
    std::atomic<HANDLE> thread{nullptr};  // read by Stop without the lock
    std::vector<Buffer> buffers;
    bool sourceEnded = false;
    uint64_t baseFrame = 0;       // source frame at which the device's position started
    uint64_t positionOrigin = 0;  // the device's position (frames) at baseFrame
    uint64_t writtenFrames = 0;   // frames queued since baseFrame

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> ended{false};
    std::atomic<uint64_t> lastHeard{0};
};

}  // namespace audio
