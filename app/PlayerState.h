// The process-wide player state: every field the window, the timers and the workers share.
#pragma once

#include <windows.h>
#include <atomic>
#include <mutex>

class ImageObject;
class ImageButton;
class PlaybackEngine;
class FolderScanner;
class TrackInfo;
struct PlaylistRow;

// Threads and shared state
// ------------------------
// The window thread runs the window procedure and both timer procedures. The intake workers
// (command text, drops), the start worker (files the window thread asks to start) and the
// playlist build worker run on threads of their own.
//
// One rule keeps them apart: `stateLock` (recursive) is held by whoever uses the engine, the
// scanner's names, or the current track and its texts, art and now-playing fields. The window
// thread takes it around each message and timer tick that touches them; a worker takes it around
// each step that does. Rules that go with it:
//  - Never hold it across a call that waits for the window thread: SetWindowTextA,
//    SetWindowLongA, SendMessage, a message box or a task dialog. (RedrawWindow with
//    RDW_INVALIDATE alone and drawing through a Graphics over the window do not wait.)
//  - Nothing slow runs under it where the window thread could be waiting: FolderScanner::Scan
//    runs without it (the scanner guards its own list), and so does the slow half of starting a
//    file (PlaybackEngine::PrepareSound, which reads the file, sets up its decoder and opens the
//    device, and the TrackInfo read of its tag); the start then checks the list again and
//    commits under the lock (StartPrepared, UpdateNowPlaying), quickly. Stopping a sound does
//    not wait for its device. CleanMemory and the use of a name from GetFileName happen under
//    the lock, so a name handed out stays valid for as long as its user holds it; work done
//    without it uses a copy.
//  - The mode flags that workers and the window thread both touch (`idle`, `scanning`,
//    `playlistVisible`, `playlistBuilt`, `playlistBuilding`, `randomPlay`) are one-byte atomics:
//    they are the gates between the threads and may be read without the lock. Whatever changes
//    together with the engine, the list or the current track is still written under the lock.
//  - At teardown the window thread frees the objects under the lock and nulls their fields, so a
//    worker that re-reads a field under the lock finds null and stops. The scanner is freed only
//    when no Scan is in flight (`scansInFlight`), the engine only when no start is being prepared
//    (`startsInFlight`); otherwise the process exit that follows reclaims it.
//
// The lock is a critical section that is never deleted: workers that outlive the window may still
// take it while the process exits.
class StateMutex {
public:
    StateMutex() { InitializeCriticalSection(&section); }
    void lock() { EnterCriticalSection(&section); }
    void unlock() { LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};
extern StateMutex stateLock;
using StateLock = std::lock_guard<StateMutex>;
// Scans, and starts of files, running outside the lock; changed under the lock.
extern int scansInFlight;
extern int startsInFlight;
// A start asked for on the window thread (a command, a row, the end of a sound) runs on the start
// worker, so that opening a file never holds up the window. Only the latest request may commit:
// `startSerial` names it, `startIndex` and `startWindow` are its file and window (-1: nothing
// more to start, as after teardown); with `startOnlyIfNothingLoaded` a sound loaded meanwhile
// wins. `startWorkerBusy` is set from the request that makes the worker until it has finished
// with the latest one. All under the lock.
extern unsigned startSerial;
extern int startIndex;
extern HWND startWindow;
extern bool startOnlyIfNothingLoaded;
extern bool startWorkerBusy;

const int kRowHeight = 48;
const int kVisibleListHeight = 192;
const int kRowSlots = 200;
const UINT_PTR kPlaybackTimerId = 1;
const UINT kPlaybackTimerMs = 100;
const UINT_PTR kScrollTimerId = 2;
const UINT kScrollTimerMs = 50;
// Posted by the start worker when a start ends; wParam is nonzero when the file plays.
const UINT kStartEndedMessage = WM_APP + 1;

struct CommandArgs {
    HWND window;
    char* text;
};

struct DropArgs {
    HWND window;
    HDROP drop;
    bool append;
};

// Skin controls (created and freed by InitializeWindow / TeardownWindow).
extern ImageButton* playButton;
extern ImageButton* pauseButton;
extern ImageButton* playPauseButton;
extern ImageButton* nextButton;
extern ImageButton* prevButton;
extern ImageButton* randomOnButton;
extern ImageButton* randomOffButton;
extern ImageButton* randomButton;
extern ImageButton* showPlaylistButton;
extern ImageButton* seekBar;
extern ImageObject* seekProgress;
extern ImageObject* defaultAlbumArt;
extern ImageObject* trackAlbumArt;
extern ImageObject* albumArt;
extern ImageObject* aboutImage;

// Components and the device context kept for the window's life.
extern PlaybackEngine* engine;
extern FolderScanner* scanner;
extern HDC windowDC;

// Mode and view flags.
extern std::atomic<bool> idle;
extern std::atomic<bool> randomPlay;
extern std::atomic<bool> scanning;
// Set on the window thread when an intake (command line, forwarded text, drop) is let in and
// cleared by that intake's worker as the last thing it does: while it is set no second intake
// starts, so one intake's scan, start and outcome never mix with another's.
extern std::atomic<bool> intakeActive;
extern std::atomic<bool> playlistVisible;

// Current track.
extern int currentIndex;
extern TrackInfo* currentTrack;
extern const wchar_t* titleText;
extern const wchar_t* artistText;
extern const wchar_t* albumText;
extern const wchar_t* yearText;
extern const wchar_t* publisherText;
extern const wchar_t* copyrightText;
extern wchar_t lengthText[16];
extern wchar_t bitRateText[16];
extern wchar_t frequencyText[16];

// Worker arguments. Each worker is started with its own heap copy (see the intake code);
// these records hold the latest one for the window thread's bookkeeping.
extern char* commandText;
extern CommandArgs commandArgs;
extern DropArgs dropArgs;

// Playlist overlay.
extern RECT listRect;
extern int rowWidth;
extern PlaylistRow* rows[kRowSlots];
extern int rowCount;
extern HFONT rowFont;
extern int scrollTarget;
extern int scrollPos;
extern bool scrollTimerActive;
extern std::atomic<bool> playlistBuilt;
extern std::atomic<bool> playlistBuilding;
extern bool hoverStale;
extern int hoverRow;
extern bool mouseInList;
extern bool lastMouseDown;

// Playback timer.
extern int tick;
// The seek progress width last drawn over the seek bar; -1 once anything has painted over the bar
// since, so the next tick draws the progress again. Window thread only.
extern int shownProgressWidth;
