// One stream's way to the speakers: a waveOut device fed from decoders by a thread of its own.
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

// waveOutGetPosition counts in 32 bits: bytes of 44.1 kHz stereo wrap after 6.8 hours. This
// carries the count on in 64 bits, given readings at least once per wrap.
class PositionCounter {
public:
    uint64_t Extend(uint32_t reading)
    {
        total += static_cast<uint32_t>(reading - last);  // modulo 2^32: a wrap is a small step on
        last = reading;
        return total;
    }
    // After waveOutReset the device counts from 0 again.
    void Restart() { total = last = 0; }

private:
    uint64_t total = 0;
    uint32_t last = 0;
};

// A decoder with the start of its audio already decoded: proof that the file plays, and the
// first samples to be heard. Made without any lock; may take as long as the file takes to open.
struct PrimedSource {
    std::unique_ptr<AudioDecoder> decoder;
    std::vector<int16_t> head;
    uint64_t firstFrame = 0;  // the frame of the source that head begins with
    // The track's own gain from its tags, in the units of WaveOutput::kUnityGain.
    uint32_t gain = 1u << 16;

    // Null decoder when the source yields no audio or has a format no device is asked to play.
    // From firstFrame on when it is not 0: a decoder that cannot seek there yields nothing.
    static PrimedSource Prime(std::unique_ptr<AudioDecoder> decoder, uint64_t firstFrame = 0);
    int Channels() const { return decoder->Channels(); }
    int Rate() const { return decoder->Rate(); }
};

// Thread-safe. The output thread holds a reference of its own, so the object outlives every
// caller that still uses it; the thread closes the device and lets go when it is stopped, or when
// it was released and everything queued has been heard.
class WaveOutput : public std::enable_shared_from_this<WaveOutput> {
public:
    // Opens the device for the source's format; nothing is heard yet. Null when no device takes it.
    static std::shared_ptr<WaveOutput> Open(PrimedSource source);
    ~WaveOutput();
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

    // Starts the output thread. False when it could not be started.
    bool Play();
    // Silences the device at once; the output thread closes it. Never waits for the device.
    void Stop();
    // What is queued plays out, then the thread closes the device. No source follows any more.
    void Release();
    // Waits up to timeoutMs for the device to be closed (at teardown); true once it is.
    bool WaitClosed(DWORD timeoutMs);
    // Waits up to timeoutMs for a stopped device to be silent; true once it is. Its close may come
    // later: it waits a moment for a device opened after it, which the system would otherwise hold up.
    bool WaitSilent(DWORD timeoutMs);
    // Waits up to timeoutMs for everything queued to have been played; true when it has.
    bool WaitDrained(DWORD timeoutMs);
    // Lets next follow the current source on this device without a gap: only once the current
    // one is exhausted, and only for the same rate and channel count. False (next untouched) else.
    bool ContinueWith(PrimedSource& next);
    // True once the current source is exhausted: a source passed to ContinueWith then follows on.
    bool SourceExhausted();

    bool Pause(bool pause);
    bool Paused() const { return paused.load(); }
    // Asks for playback to move to frame and returns at once: the output thread seeks between
    // buffers, since a decoder may read the whole file up to the target (an mp3 without an
    // index). While a drag sends many targets, the latest one wins. Past the end the sound simply
    // ends. False when the output has stopped or has no source to move.
    bool SeekTo(uint64_t frame);
    // Frames of the current source the device reports as played, counted from its start; the
    // target while a seek is on its way.
    uint64_t HeardFrames();
    // True once the current source is exhausted and less than kEndLeadMs of it is left to hear,
    // so that a source that follows is queued in time. Never while a seek is on its way.
    bool Ended() const { return ended.load() && !SeekOnItsWay(); }
    int Channels() const { return channels; }
    int Rate() const { return rate; }
    // Scales the samples queued from now on by gain / kUnityGain, ramped across the first buffer
    // so a change makes no click. The source's own gain multiplies with it, unramped: it holds
    // from the source's first sample. With both at kUnityGain the samples reach the device
    // untouched.
    void SetGain(uint32_t gain) { targetGain = gain; }

    static constexpr int kEndLeadMs = 250;
    static constexpr uint32_t kUnityGain = 65536;

private:
    struct Buffer {
        WAVEHDR header = {};
        std::vector<int16_t> samples;
        bool queued = false;
    };

    WaveOutput(PrimedSource source);
    bool OpenDevice();
    void SilenceDevice();
    void CloseDevice();
    void Run();
    bool SeekOnItsWay() const { return seeksAsked.load() != seeksDone.load(); }
    void ApplySeeks();
    void ResetForSeek();
    void FinishSeek(uint64_t frame, bool moved);
    void FillBuffers();
    size_t ReadSource(int16_t* out, size_t maxFrames);
    void ApplyGain(int16_t* samples, size_t frames);
    bool QueueBuffer(Buffer& buffer, size_t frames);
    void CheckEnded();
    uint64_t PlayedFrames();
    uint64_t DevicePositionFrames();
    static DWORD WINAPI ThreadProc(void* param);

    const int channels;
    const int rate;
    const size_t framesPerBuffer;

    // Guards the device handle, the buffers, the decoder and the position bookkeeping.
    std::timed_mutex lock;
    std::unique_ptr<AudioDecoder> decoder;
    std::vector<int16_t> head;  // decoded ahead, heard before anything more from the decoder
    size_t headUsed = 0;
    HWAVEOUT device = nullptr;
    HANDLE wake = nullptr;           // signalled by the device when a buffer is done, and by us for commands
    HANDLE closed = nullptr;         // set once the device is closed
    HANDLE silent = nullptr;         // set once a stopped device is silenced for good, or closed
    HANDLE drainedSignal = nullptr;  // set while `drained` is
    std::atomic<HANDLE> thread{nullptr};
    unsigned openedAs = 0;  // the process's count of device opens once this one's had ended
    std::vector<Buffer> buffers;
    bool sourceEnded = false;
    PositionCounter position;
    UINT positionUnit = 0;        // the unit the device answers in
    uint64_t lastPosition = 0;    // frames, for when the device does not answer
    uint64_t baseFrame = 0;       // source frame at which the device's position started
    uint64_t positionOrigin = 0;  // the device's position (frames) at baseFrame
    uint64_t writtenFrames = 0;   // frames queued since baseFrame

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> released{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> drained{false};  // every queued frame has been played
    std::atomic<uint64_t> lastHeard{0};
    std::atomic<uint32_t> targetGain{kUnityGain};
    uint32_t appliedGain = kUnityGain;  // the gain the last queued sample got; output thread
    uint32_t sourceGain = kUnityGain;   // the current source's PrimedSource::gain; under lock
    // Seeks asked for (counted) and the latest target; the output thread applies them.
    std::atomic<uint64_t> seekTarget{0};
    std::atomic<unsigned> seeksAsked{0};
    std::atomic<unsigned> seeksDone{0};
};

}  // namespace audio
