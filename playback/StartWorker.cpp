// The start worker: opens the files the window thread and the intakes ask to start, one at a time.
#include "playback/StartWorker.h"

#include <process.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "metadata/TrackInfo.h"
#include "playback/NowPlaying.h"
#include "playback/Transport.h"
#include "render/MainView.h"

namespace {

// Longer than the last moments a sound that has ended still has to play (WaveOutput::kEndLeadMs).
const unsigned long kEndingSoundWaitMs = 500;

// Told whenever the worker has answered a request (startAnswered) or stopped.
std::condition_variable_any startAnsweredSignal;

// The slow half of a start, run without the state lock: the file is opened and its decoder set
// up, and its tag is read. Null parts did not work out.
struct PreparedTrack {
    PreparedSound* sound = nullptr;
    std::unique_ptr<TrackInfo> info;

    PreparedTrack() = default;
    PreparedTrack(const PreparedTrack&) = delete;
    PreparedTrack& operator=(const PreparedTrack&) = delete;
    ~PreparedTrack() { PlaybackEngine::DiscardPrepared(sound); }
};

// What a request asks for beyond its file.
struct StartMode {
    bool onlyIfNothingLoaded = false;
    bool held = false;
    uint32_t heldAtMs = 0;
};

// Joined however the scope is left.
struct JoinedThread {
    std::thread thread;
    ~JoinedThread()
    {
        if (thread.joinable()) thread.join();
    }
};

// The sound is prepared on a thread of its own while the record is read: opening the device
// mostly waits on the system, and reading the tags and scaling a cover can take as long again.
void PrepareTrack(const std::string& path, const StartMode& mode, PreparedTrack& track)
{
    PlaybackEngine* target;
    {
        StateLock lock(stateLock);
        target = engine;
        if (!target) return;
        ++startsInFlight;  // keeps the teardown from freeing the engine under this start
    }
    PreparedSound* sound = nullptr;
    auto prepareSound = [&] {
        sound = mode.held ? target->PrepareHeldSound(path.c_str(), mode.heldAtMs) : target->PrepareSound(path.c_str());
        // The end of the sound before it is heard first, when it cannot be followed on its device.
        try {
            target->WaitForEndingSound(sound, kEndingSoundWaitMs);
        } catch (...) {
        }
    };
    {
        JoinedThread preparer;
        try {
            preparer.thread = std::thread(prepareSound);
        } catch (...) {
            prepareSound();  // no thread: one after the other
        }
        try {
            track.info.reset(new TrackInfo(path.c_str()));
        } catch (...) {
        }
    }
    track.sound = sound;
    if (!track.sound) track.info.reset();
    StateLock lock(stateLock);
    --startsInFlight;
}

// Starts the index-th file. A track whose record cannot be read (the tag object could not be
// made) counts as not started, and as a start it ends the sound before it: nothing is loaded
// then and the window goes back to the About picture rather than show a track without texts.
// With onlyIfNothingLoaded, a sound that another start loaded meanwhile wins. A request of the
// worker carries its serial and commits only while it is still the latest one.
bool StartTrack(int index, const StartMode& mode, unsigned serial)
{
    std::string path;
    PreparedTrack track;
    // Out of memory here (the path, the record) the start fails before anything changed.
    try {
        {
            StateLock lock(stateLock);
            const char* name = engine && scanner ? scanner->GetFileName(index) : nullptr;
            if (!name) return false;
            path = name;
        }
        PrepareTrack(path, mode, track);
    } catch (const std::bad_alloc&) {
        return false;
    }

    for (;;) {
        {
            StateLock lock(stateLock);
            if (serial != 0 && serial != startSerial) return false;  // a later start was asked for
            // The list may have been replaced while the file was opened.
            const char* name = engine && scanner ? scanner->GetFileName(index) : nullptr;
            if (!name || path != name || !track.sound) return false;
            if (mode.onlyIfNothingLoaded && engine->ActiveSound) return false;
            if (!track.info) {
                UnloadSound();
                ClearNowPlaying();
                idle = true;
                return false;
            }
            if (engine->StartPrepared(track.sound)) {
                UpdateNowPlaying(track.info.release());
                currentIndex = index;
                idle = false;
                return true;
            }
            if (!track.sound) return false;
        }
        // It was to follow the sound before it without a gap, and that sound has moved since:
        // it gets a device of its own, opened without the lock, and is committed again.
        if (!PlaybackEngine::OpenOutput(track.sound)) return false;
    }
}

// Takes the latest request, starts it, tells its window, and goes on while newer requests came
// in meanwhile. Requests it never took were superseded and are not tried.
void __cdecl StartWorker(void*)
{
    unsigned handled = 0;
    for (;;) {
        int index;
        HWND window;
        StartMode mode;
        {
            StateLock lock(stateLock);
            if (startIndex < 0 || handled == startSerial) {
                startWorkerBusy = false;
                startAnsweredSignal.notify_all();
                return;
            }
            handled = startSerial;
            index = startIndex;
            window = startWindow;
            mode.onlyIfNothingLoaded = startOnlyIfNothingLoaded;
            mode.held = startHeld;
            mode.heldAtMs = startHeldAtMs;
        }
        bool started = false;
        try {
            started = StartTrack(index, mode, handled);
        } catch (...) {
            // Nothing may escape a thread; the start counts as failed.
        }
        {
            StateLock lock(stateLock);
            startAnswered = handled;
            startAnsweredPlays = started;
        }
        startAnsweredSignal.notify_all();
        // Posting does not wait for the window thread, which repaints when it reads the message.
        PostMessageA(window, kStartEndedMessage, started, 0);
    }
}

// True once request serial has been answered or passed over for a later one.
bool Answered(unsigned serial)
{
    return static_cast<int>(startAnswered - serial) >= 0;
}

}  // namespace

void RequestStart(HWND window, int index, bool onlyIfNothingLoaded)
{
    ++startSerial;
    startIndex = index;
    startWindow = window;
    startOnlyIfNothingLoaded = onlyIfNothingLoaded;
    startHeld = false;
    if (startWorkerBusy) return;  // it takes this request when it has finished the one it has
    startWorkerBusy = true;
    if (_beginthread(StartWorker, 0, nullptr) == static_cast<uintptr_t>(-1)) startWorkerBusy = false;
}

void RequestHeldStart(HWND window, int index, uint32_t atMs)
{
    RequestStart(window, index, true);
    startHeld = true;  // read by the worker under the lock, which the caller holds
    startHeldAtMs = atMs;
}

StartOutcome StartIfNothingLoaded(HWND window, int index)
{
    std::unique_lock<StateMutex> lock(stateLock);
    if (!engine || engine->ActiveSound) return StartOutcome::Superseded;
    RequestStart(window, index, true);
    const unsigned mine = startSerial;
    startAnsweredSignal.wait(lock, [mine] { return Answered(mine) || !startWorkerBusy; });
    if (startAnswered != mine)
        return startWorkerBusy || startSerial != mine ? StartOutcome::Superseded : StartOutcome::Failed;
    return startAnsweredPlays ? StartOutcome::Started : StartOutcome::Failed;
}

void WaitForFirstSound(unsigned long timeoutMs)
{
    std::unique_lock<StateMutex> lock(stateLock);
    // Each answer of the start worker tells the signal, a start that failed included.
    startAnsweredSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [] { return !engine || engine->ActiveSound; });
}

void StartPlaybackIfIdle(HWND window)
{
    int attempts;
    {
        StateLock lock(stateLock);
        attempts = scanner ? scanner->GetNoOfFiles() : 0;
    }
    for (int attempt = 0; attempt < attempts; ++attempt) {
        int index;
        {
            StateLock lock(stateLock);
            if (!engine || engine->ActiveSound || !scanner) return;
            int count = scanner->GetNoOfFiles();
            if (count <= 0) return;
            // A list shorter than the one the index was chosen in starts from its first file.
            if (currentIndex < 0 || currentIndex >= count) currentIndex = 0;
            if (attempt > 0) currentIndex = (currentIndex + 1) % count;
            index = currentIndex;
        }
        if (StartIfNothingLoaded(window, index) != StartOutcome::Failed) return;
    }
}

void CancelStartRequests()
{
    StateLock lock(stateLock);
    ++startSerial;  // what a worker is still opening does not commit
    startIndex = -1;
}

bool StartTrackNow(int index)
{
    return StartTrack(index, StartMode(), 0);
}

void OnStartEnded(HWND window, bool started)
{
    // Into the buffer at once; the paint that the invalidation brings shows it with the panel, in
    // one copy, so the window never shows the control layer without its texts.
    if (started) RepaintControlLayer();
    InvalidateWindow(window);
}
