// The transport commands: play/pause, next, previous, random.
#include "playback/Transport.h"

#include <gdiplus.h>
#include <process.h>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/PlaybackEngine.h"
#include "metadata/TrackInfo.h"
#include "playback/NowPlaying.h"
#include "render/MainView.h"

namespace {

void ChoosePlayPauseButton()
{
    PlaybackSound* sound = engine->ActiveSound;
    playPauseButton = (sound && !sound->QueryPaused()) ? pauseButton : playButton;
}

void DrawPlayPauseButton(HWND window)
{
    Gdiplus::Graphics graphics(window);
    if (playPauseButton) playPauseButton->Draw(&graphics);
}

// The slow half of a start, run without the state lock when the caller does not hold it: the
// file is opened and its decoder set up, and its tag is read. Null parts did not work out.
struct PreparedTrack {
    PreparedSound* sound = nullptr;
    std::unique_ptr<TrackInfo> info;

    PreparedTrack() = default;
    PreparedTrack(const PreparedTrack&) = delete;
    PreparedTrack& operator=(const PreparedTrack&) = delete;
    ~PreparedTrack() { PlaybackEngine::DiscardPrepared(sound); }
};

void PrepareTrack(const std::string& path, PreparedTrack& track)
{
    PlaybackEngine* target;
    {
        StateLock lock(stateLock);
        target = engine;
        if (!target) return;
        ++startsInFlight;  // keeps the teardown from freeing the engine under this start
    }
    track.sound = target->PrepareSound(path.c_str());
    if (track.sound) {
        try {
            track.info.reset(new TrackInfo(path.c_str()));
        } catch (...) {
        }
    }
    StateLock lock(stateLock);
    --startsInFlight;
}

// Starts the index-th file. A track whose record cannot be read (the tag object could not be
// made) counts as not started, and as a start it ends the sound before it: nothing is loaded
// then and the window goes back to the About picture rather than show a track without texts.
// With onlyIfNothingLoaded, a sound that another start loaded meanwhile wins. A start asked for
// on the window thread carries its serial and commits only while it is still the latest one.
bool StartTrack(int index, bool onlyIfNothingLoaded, unsigned serial)
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
        PrepareTrack(path, track);
    } catch (const std::bad_alloc&) {
        return false;
    }

    StateLock lock(stateLock);
    if (serial != 0 && serial != startSerial) return false;  // a later start was asked for
    // The list may have been replaced while the file was opened.
    const char* name = engine && scanner ? scanner->GetFileName(index) : nullptr;
    if (!name || path != name || !track.sound) return false;
    if (onlyIfNothingLoaded && engine->ActiveSound) return false;
    if (!track.info) {
        UnloadSound();
        ClearNowPlaying();
        idle = true;
        return false;
    }
    PreparedSound* sound = track.sound;
    track.sound = nullptr;
    if (!engine->StartPrepared(sound)) return false;
    UpdateNowPlaying(track.info.release());
    currentIndex = index;
    idle = false;
    return true;
}

// The start worker: takes the latest request, starts it, tells its window, and goes on while
// newer requests came in meanwhile. Requests it never took were superseded and are not tried.
void __cdecl StartWorker(void*)
{
    unsigned handled = 0;
    for (;;) {
        int index;
        HWND window;
        bool onlyIfNothingLoaded;
        {
            StateLock lock(stateLock);
            if (startIndex < 0 || handled == startSerial) {
                startWorkerBusy = false;
                return;
            }
            handled = startSerial;
            index = startIndex;
            window = startWindow;
            onlyIfNothingLoaded = startOnlyIfNothingLoaded;
        }
        bool started = false;
        try {
            started = StartTrack(index, onlyIfNothingLoaded, handled);
        } catch (...) {
            // Nothing may escape a thread; the start counts as failed.
        }
        // Posting does not wait for the window thread, which repaints when it reads the message.
        PostMessageA(window, kStartEndedMessage, started, 0);
    }
}

// Hands the start of the index-th file to the start worker, made here if none is running. Under
// the lock, on the window thread.
void RequestStart(HWND window, int index, bool onlyIfNothingLoaded = false)
{
    ++startSerial;
    startIndex = index;
    startWindow = window;
    startOnlyIfNothingLoaded = onlyIfNothingLoaded;
    if (startWorkerBusy) return;  // it takes this request when it has finished the one it has
    startWorkerBusy = true;
    if (_beginthread(StartWorker, 0, nullptr) == static_cast<uintptr_t>(-1)) startWorkerBusy = false;
}

bool OnWindowThread(HWND window)
{
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace

bool StartTrackNow(int index)
{
    return StartTrack(index, false, 0);
}

void CancelStartRequests()
{
    StateLock lock(stateLock);
    ++startSerial;  // what a worker is still opening does not commit
    startIndex = -1;
}

void OnStartEnded(HWND window, bool started)
{
    if (started) RepaintControlLayer();
    InvalidateWindow(window);
}

bool UnloadSound()
{
    StateLock lock(stateLock);
    if (!engine || !engine->ActiveSound) return false;
    engine->ActiveSound->StopSound();
    engine->ActiveSound->ReleaseSound();
    engine->ActiveSound = nullptr;
    return true;
}

void TogglePlayPause(HWND window)
{
    std::unique_lock<StateMutex> lock(stateLock);
    if (!engine) return;
    if (PlaybackSound* sound = engine->ActiveSound) {
        engine->Pause(!sound->QueryPaused());
        ChoosePlayPauseButton();
        DrawPlayPauseButton(window);
        return;
    }
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    // A list shorter than the one the index was chosen in starts from its first file.
    if (currentIndex < 0 || currentIndex >= count) currentIndex = 0;
    if (OnWindowThread(window)) {
        RequestStart(window, currentIndex);
        return;
    }
    // An intake worker starts here: the file is opened without the lock, so the window goes on.
    const int index = currentIndex;
    lock.unlock();
    const bool started = StartTrack(index, true, 0);
    lock.lock();
    if (!started || !engine) return;
    if (!engine->ActiveSound) {
        idle = true;
        InvalidateWindow(window);
        return;
    }
    ChoosePlayPauseButton();
    DrawPlayPauseButton(window);
    InvalidateWindow(window);
}

void PlayRandomTrack(HWND window)
{
    StateLock lock(stateLock);
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    currentIndex = count >= 2 ? rand() % count : 0;
    RequestStart(window, currentIndex);
}

void PlayNextTrack(HWND window)
{
    StateLock lock(stateLock);
    if (!scanner) return;
    int count = scanner->GetNoOfFiles();
    if (count > 1 && randomPlay) {
        PlayRandomTrack(window);
        return;
    }
    if (currentIndex + 1 >= count) return;  // no wrap to the first file
    ++currentIndex;
    RequestStart(window, currentIndex);
}

void PlayTrackAt(HWND window, int index)
{
    StateLock lock(stateLock);
    RequestStart(window, index);
}

void PlayFirstFileIfSilent(HWND window)
{
    StateLock lock(stateLock);
    if (!engine || !scanner || engine->ActiveSound || startWorkerBusy || scanner->GetNoOfFiles() < 1) return;
    RequestStart(window, 0, true);
}

void PlayPreviousTrack(HWND window)
{
    StateLock lock(stateLock);
    if (!scanner) return;
    if (currentIndex <= 0) return;  // no wrap to the last file
    int count = scanner->GetNoOfFiles();
    if (count <= 0) return;
    // After a shorter list arrived the index may lie beyond it: step back from its end instead.
    if (currentIndex > count) currentIndex = count;
    --currentIndex;
    RequestStart(window, currentIndex);
}
