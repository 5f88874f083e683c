// The process-wide player state: every field the window, the timers and the workers share.
#pragma once

#include <windows.h>
#include <atomic>
#include <cstdint>
#include <mutex>

class ImageObject;
class ImageButton;
class PlaybackEngine;
class FolderScanner;
class TrackInfo;
struct PlaylistRow;

// Threads and shared state
// ------------------------
// Who runs what:
//  - The window thread: the window procedure, timer 1 (PlaybackTimerProc), timer 2
//    (ScrollEasingTimerProc), and every drawing on `windowDC`.
//  - Intake workers (CommandIntakeWorker, DropIntakeWorker): scan into the list, ask the start
//    worker for the first file, show their outcome dialog. One at a time (`intakeActive`). The
//    command line's starts while the window is being created, before its skin is loaded: the
//    controls may come after a track started.
//  - The start worker (playback/StartWorker.cpp): opens and starts the files asked for.
//  - Row workers (PlaylistBuildWorker and the one that follows a long list's view): render rows.
//  - Threads of the engine's own (an output thread per device, one length counter), which touch
//    none of the player state.
//
// One rule keeps them apart: `stateLock` (recursive) is held by whoever reads or writes a field
// below that is not an atomic, or uses the engine, the scanner's names, or the current track with
// its texts, art and now-playing fields. That covers the controls, `engine`, `scanner`,
// `currentIndex`, `currentTrack` and the text pointers and buffers, the start requests, the row
// cache (`rows`, `rowCount`, `rowWidth`), the overlay's scroll and hover state (`scrollPos`,
// `scrollTarget`, `scrollTimerActive`, `hoverStale`, `hoverRow`, `mouseInList`, `lastMouseDown`),
// `shownProgressWidth` and the in-flight counts. The window thread takes it around each message
// and timer tick that touches them; a worker takes it around each step that does. With it:
//  - The mode flags (`idle`, `randomPlay`, `scanning`, `intakeActive`, `playlistVisible`,
//    `playlistBuilt`, `playlistBuilding`) are one-byte atomics: they are the gates between the
//    threads and may be read without the lock; whatever changes together with the engine, the
//    list, the rows or the current track is written under it.
//  - `windowDC` belongs to the window thread: only it draws on the DC or makes DCs from it. A
//    worker makes its DCs from a DC of its own (CreateCompatibleDC(nullptr)); under Wine a DC
//    that another thread is inside fails.
//  - Never hold the lock across a call that waits for the window thread: SetWindowTextA,
//    SetWindowLongA, SendMessage, a message box or a task dialog. (RedrawWindow with
//    RDW_INVALIDATE alone and PostMessage do not wait.)
//  - Nothing slow runs under it where the window thread could be waiting: FolderScanner::Scan
//    runs without it (the scanner guards its own list), as does the reading of a playlist file
//    whose entries ScanIntoPlaylist scans; so do the slow halves of a start
//    (PlaybackEngine::PrepareSound and OpenOutput, which read the file, set up its decoder and
//    open the device, and the TrackInfo read of its tag, which also finds the file's long name);
//    the start then checks the list again and commits under the lock (StartPrepared,
//    UpdateNowPlaying), quickly. Seeking and stopping a sound never wait for its file or device.
//    CleanMemory and the use of a name from GetFileName happen under the lock, so a name handed
//    out stays valid for as long as its user holds it; work done without it uses a copy.
//  - Lock order: the state lock, then the engine's, then a sound's, then an output's. The
//    scanner's lock is a leaf: nothing else is taken while it is held. So are the locks of the
//    folder-art cache (metadata/FolderArt.cpp), where a record may wait while another thread
//    decodes the same folder's picture: one more reason no record is made under the state lock.
//  - At teardown the window thread frees the objects under the lock and nulls their fields, so a
//    worker that re-reads a field under the lock finds null and stops. The scanner is freed only
//    when no Scan is in flight (`scansInFlight`), the engine only when no start is being prepared
//    (`startsInFlight`); otherwise the process exit that follows reclaims it. The row cache is
//    released under the lock at process exit.
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
// A start asked for (a command, a row, the end of a sound, an intake's first file) runs on the
// start worker, so that opening a file never holds up the window. Only the latest request may
// commit: `startSerial` names it, `startIndex` and `startWindow` are its file and window (-1:
// nothing more to start, as after teardown); with `startOnlyIfNothingLoaded` a sound loaded
// meanwhile wins; with `startHeld` the file is loaded paused at `startHeldAtMs` (a restored
// session). `startWorkerBusy` is set from the request that makes the worker until it has
// finished with the latest one; `startAnswered` is the last request it finished, and
// `startAnsweredPlays` whether that one plays. All under the lock.
extern unsigned startSerial;
extern int startIndex;
extern HWND startWindow;
extern bool startOnlyIfNothingLoaded;
extern bool startHeld;
extern uint32_t startHeldAtMs;
extern bool startWorkerBusy;
extern unsigned startAnswered;
extern bool startAnsweredPlays;

// Sizes of the layout are given at 96 dots per inch (100 %) and drawn at the window's scale.
const int kRowHeight = 48;
const int kVisibleRows = 4;
const int kVisibleListHeight = kVisibleRows * kRowHeight;
const int kRowSlots = 200;
const UINT_PTR kPlaybackTimerId = 1;
const UINT kPlaybackTimerMs = 100;
const UINT_PTR kScrollTimerId = 2;
const UINT kScrollTimerMs = 50;
// Posted by the start worker when a start ends; wParam is nonzero when the file plays.
const UINT kStartEndedMessage = WM_APP + 1;
// Posted by the session's restore when it has read the list.
const UINT kRestoreEndedMessage = WM_APP + 2;
// Posted by an intake worker as its scan begins (wParam nonzero) and ends: see ScanSession.
const UINT kScanShownMessage = WM_APP + 3;

struct CommandArgs {
    HWND window;
    char* text;
};

struct DropArgs {
    HWND window;
    HDROP drop;
    bool append;
};

// The window's dots per inch, 96 at 100 %: set before the window is made and when it moves to a
// monitor of another scale, by the window thread under the lock; workers may read it without.
extern std::atomic<int> windowDpi;
// A length of the layout at 96 DPI, at the window's scale.
inline int Scaled(int length)
{
    return MulDiv(length, windowDpi, 96);
}

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
// cleared by that intake's worker once its scan and start are done, before its outcome dialog:
// while it is set no second intake starts, so one intake's scan and start never mix with another's.
extern std::atomic<bool> intakeActive;
extern std::atomic<bool> playlistVisible;

// Counts the times the list was emptied for another (under the lock), so that the session can tell
// a new list of the same length from the one it saved.
extern unsigned listGeneration;

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

// Worker arguments: the window thread writes them only while it lets an intake in (the gate is
// open), and that intake's worker reads them until it closes the gate.
extern char* commandText;
extern CommandArgs commandArgs;
extern DropArgs dropArgs;

// Playlist overlay. rowHeight is kRowHeight at the window's scale, and the overlay shows
// kVisibleRows of them: visibleListHeight. Under the lock.
extern RECT listRect;
extern int rowHeight;
extern int visibleListHeight;
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

// Volume: the level muting took away (1..100), and until when (GetTickCount) a changed level shows
// in the details block, 0 when it does not. Under the lock.
extern int volumeBeforeMute;
extern DWORD volumeShownUntil;

// Playback timer.
extern int tick;
// The seek progress width last drawn over the seek bar; -1 once anything has painted over the bar
// since, so the next tick draws the progress again. Window thread only.
extern int shownProgressWidth;
