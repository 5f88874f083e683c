// The session kept between runs: restored at start, saved while the player runs and at close.
#include "app/Session.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/MenuCommands.h"
#include "app/PlayerState.h"
#include "app/SessionFiles.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/PlaybackEngine.h"
#include "components/ShortPath.h"
#include "components/WideText.h"
#include "intake/CommandIntake.h"
#include "intake/IntakeGate.h"
#include "playback/StartWorker.h"
#include "render/MainView.h"

namespace {

const DWORD kPositionSaveMs = 30000;
// A path of MAX_PATH UTF-16 units takes up to three bytes for each in UTF-8.
const size_t kMaxPathBytes = 3 * MAX_PATH;

// UTF-8 of a name as the scanner keeps it (in the ANSI code page).
std::string Utf8OfListName(const char* name)
{
    return ConvertToUtf8(ConvertToWide(CP_ACP, 0, name));
}

// What the settings' save depends on, but the position and the window's place: cheap to take on
// every tick, so a tick that has nothing to save builds nothing.
struct Fingerprint {
    int volume = 100;
    int volumeBeforeMute = 100;
    bool randomPlay = false;
    bool alwaysOnTop = false;
    PlaybackSound* sound = nullptr;
    int currentIndex = -1;

    bool operator==(const Fingerprint& other) const
    {
        return volume == other.volume && volumeBeforeMute == other.volumeBeforeMute && randomPlay == other.randomPlay &&
               alwaysOnTop == other.alwaysOnTop && sound == other.sound && currentIndex == other.currentIndex;
    }
};

// Under the state lock.
Fingerprint TakeFingerprint(HWND window)
{
    Fingerprint taken;
    taken.volume = engine ? engine->Volume() : 100;
    taken.volumeBeforeMute = volumeBeforeMute;
    taken.randomPlay = randomPlay;
    taken.alwaysOnTop = IsAlwaysOnTop(window);
    taken.sound = engine ? engine->ActiveSound : nullptr;
    taken.currentIndex = currentIndex;
    return taken;
}

// What was last handed to the saving thread (or read at start), to tell what changed. Under the
// state lock.
struct SavedState {
    bool any = false;
    unsigned listGeneration = 0;
    int listCount = -1;
    Fingerprint fingerprint;
    SessionSettings settings;
    DWORD savedAt = 0;
};
SavedState lastSaved;

// One save job: the settings, and the list when it changed. The latest job wins.
struct SaveJob {
    SessionSettings settings;
    bool withList = false;
    unsigned listGeneration = 0;
    unsigned sequence = 0;  // later jobs have larger ones
};

std::mutex jobLock;  // guards pendingJob, saverRunning and jobSequence
unsigned jobSequence = 0;
unsigned writtenSequence = 0;  // the latest job written; under writeLock
std::condition_variable jobReady;
std::unique_ptr<SaveJob> pendingJob;
bool saverRunning = false;
std::mutex writeLock;  // held while the files are written, by the saving thread or at close

// The list's names in UTF-8, copied under the state lock; empty when the list changed since the
// job was made (a later job has it) or is gone.
bool CopyList(unsigned generation, std::vector<std::string>& utf8)
{
    std::vector<std::string> names;
    {
        StateLock lock(stateLock);
        if (!scanner || generation != listGeneration) return false;
        const int count = scanner->GetNoOfFiles();
        names.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            if (const char* name = scanner->GetFileName(i)) names.emplace_back(name);
        }
    }
    utf8.reserve(names.size());
    for (const std::string& name : names) utf8.push_back(Utf8OfListName(name.c_str()));
    return true;
}

void WriteSession(const SaveJob& job)
{
    std::lock_guard<std::mutex> guard(writeLock);
    // A job the saving thread took just before the close wrote a later one is not written over it.
    if (static_cast<int>(job.sequence - writtenSequence) <= 0) return;
    writtenSequence = job.sequence;
    if (job.withList) {
        std::vector<std::string> list;
        // The list first: should the process end in between, the settings' current file is checked
        // against the list when they are read back.
        if (CopyList(job.listGeneration, list) && !WriteFileWhole(SessionListPath(), FormatSessionList(list))) {
            StateLock lock(stateLock);
            lastSaved.listCount = -1;  // not written: the next tick tries again
        }
    }
    if (!WriteFileWhole(SettingsFilePath(), FormatSettings(job.settings))) {
        StateLock lock(stateLock);
        lastSaved.any = false;
    }
}

void __cdecl SaverThread(void*)
{
    for (;;) {
        std::unique_ptr<SaveJob> job;
        {
            std::unique_lock<std::mutex> guard(jobLock);
            jobReady.wait(guard, [] { return pendingJob != nullptr; });
            job = std::move(pendingJob);
        }
        try {
            WriteSession(*job);
        } catch (...) {
            // Out of memory for the list: the next change saves again.
        }
    }
}

void HandToSaver(std::unique_ptr<SaveJob> job)
{
    std::lock_guard<std::mutex> guard(jobLock);
    job->sequence = ++jobSequence;
    pendingJob = std::move(job);
    if (!saverRunning) {
        saverRunning = _beginthread(SaverThread, 0, nullptr) != static_cast<uintptr_t>(-1);
        if (!saverRunning) return;  // no thread: the job waits for the next try or the close
    }
    jobReady.notify_one();
}

// The window's top-left corner in screen coordinates, also while it is minimized.
POINT WindowPlace(HWND window)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (IsIconic(window) && GetWindowPlacement(window, &placement)) {
        // The normal place of a minimized window is in workspace coordinates: relative to the
        // primary monitor's work area.
        MONITORINFO primary = {};
        primary.cbSize = sizeof primary;
        GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
        return POINT{placement.rcNormalPosition.left + primary.rcWork.left - primary.rcMonitor.left,
                     placement.rcNormalPosition.top + primary.rcWork.top - primary.rcMonitor.top};
    }
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    return POINT{bounds.left, bounds.top};
}

// The settings as they are now. Under the state lock.
SessionSettings CurrentSettings(HWND window)
{
    const Fingerprint taken = TakeFingerprint(window);
    SessionSettings settings;
    settings.volume = taken.volume;
    settings.volumeBeforeMute = taken.volumeBeforeMute;
    settings.randomPlay = taken.randomPlay;
    settings.alwaysOnTop = taken.alwaysOnTop;
    const POINT place = WindowPlace(window);
    settings.hasWindowPlace = true;
    settings.windowLeft = place.x;
    settings.windowTop = place.y;
    const char* name = taken.sound && scanner ? scanner->GetFileName(taken.currentIndex) : nullptr;
    if (name) {
        settings.currentIndex = taken.currentIndex;
        settings.currentPath = Utf8OfListName(name);
        settings.positionMs =
            static_cast<uint32_t>(engine->GetPlayPos() * static_cast<double>(taken.sound->LengthMs()));
    }
    return settings;
}

// Moves a place off every monitor onto the nearest one's work area.
POINT PlaceOnAMonitor(POINT place, int width, int height)
{
    RECT bounds = {place.x, place.y, place.x + width, place.y + height};
    if (MonitorFromRect(&bounds, MONITOR_DEFAULTTONULL)) return place;
    MONITORINFO nearest = {};
    nearest.cbSize = sizeof nearest;
    if (!GetMonitorInfoW(MonitorFromRect(&bounds, MONITOR_DEFAULTTONEAREST), &nearest)) return place;
    const RECT& work = nearest.rcWork;
    place.x = std::max(work.left, std::min(place.x, work.right - width));
    place.y = std::max(work.top, std::min(place.y, work.bottom - height));
    return place;
}

// The restore, on an intake worker.
struct RestoreArgs {
    HWND window;
    SessionSettings settings;
};

void RunRestore(const RestoreArgs& args)
{
    const SessionSettings& settings = args.settings;
    FolderScanner* target;
    {
        StateLock lock(stateLock);
        target = scanner;
        if (!target) return;
        ++scansInFlight;  // keeps the teardown from freeing the scanner under the restore
    }
    int entry = -1;
    int dropped = 0;          // entries left out: gone, or not files the player plays
    int restoredIndex = -1;   // the current file's place in the restored list
    int pathMatch = -1;       // the first entry with the current file's path, should the index not match
    int followingIndex = -1;  // the first file kept after the current one, should it be gone
    // Out of memory while reading: what was restored so far stays, and the scan count comes back
    // down either way.
    try {
        ReadSessionList(SessionListPath(), [&](const std::string& utf8) {
            ++entry;
            const std::wstring wide = ConvertToWide(CP_UTF8, 0, utf8);
            const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
            char path[kMaxPathBytes];
            const int index = target->GetNoOfFiles();
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                !GetReachablePath(wide.c_str(), path, sizeof path) || !target->Scan(path)) {
                ++dropped;
                return true;
            }
            if (entry == settings.currentIndex && utf8 == settings.currentPath) restoredIndex = index;
            if (pathMatch < 0 && !settings.currentPath.empty() && utf8 == settings.currentPath) pathMatch = index;
            if (followingIndex < 0 && settings.currentIndex >= 0 && entry > settings.currentIndex)
                followingIndex = index;
            return true;
        });
    } catch (...) {
    }
    StateLock lock(stateLock);
    --scansInFlight;
    // A list restored whole is the one saved: it is not written again until it changes. One that
    // lost entries is written again, even when nothing is left of it.
    if (scanner) lastSaved.listCount = dropped == 0 ? scanner->GetNoOfFiles() : -1;
    if (!engine || !scanner || engine->ActiveSound || scanner->GetNoOfFiles() == 0) return;
    uint32_t atMs = settings.positionMs;
    if (restoredIndex < 0) restoredIndex = pathMatch;
    if (restoredIndex < 0) {
        restoredIndex = followingIndex;  // the current file is gone: the one after it, from its start
        atMs = 0;
    }
    if (restoredIndex < 0) return;
    currentIndex = restoredIndex;
    RequestHeldStart(args.window, restoredIndex, atMs);
}

std::atomic<bool> restoreRunning{false};
std::string forwardedDuringRestore;  // window thread

void __cdecl RestoreWorker(void* argument)
{
    std::unique_ptr<RestoreArgs> args(static_cast<RestoreArgs*>(argument));
    IntakeTicket ticket;
    try {
        RunRestore(*args);
    } catch (...) {
        // Out of memory while reading: what was restored so far stays.
    }
    ticket.End();
    restoreRunning = false;
    PostMessageA(args->window, kRestoreEndedMessage, 0, 0);
    InvalidateWindow(args->window);
}

}  // namespace

void RestoreSessionSettings(HWND window)
{
    const SessionSettings settings = ReadSettings(SettingsFilePath());
    {
        StateLock lock(stateLock);
        if (engine) engine->SetVolume(settings.volume);
        volumeBeforeMute = settings.volumeBeforeMute;
        randomPlay = settings.randomPlay;
        if (randomOnButton && randomOffButton) randomButton = randomPlay ? randomOnButton : randomOffButton;
        // The list starts empty, and an empty list is never written over the saved one: should
        // the restore not run, the saved list stays for the next start.
        lastSaved.any = true;
        lastSaved.listGeneration = listGeneration;
        lastSaved.listCount = scanner ? scanner->GetNoOfFiles() : 0;
        lastSaved.fingerprint = TakeFingerprint(window);
        lastSaved.settings = settings;
        lastSaved.savedAt = GetTickCount();
    }
    SetAlwaysOnTop(window, settings.alwaysOnTop);
    if (!settings.hasWindowPlace) return;
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    const POINT place = PlaceOnAMonitor(POINT{settings.windowLeft, settings.windowTop}, bounds.right - bounds.left,
                                        bounds.bottom - bounds.top);
    SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool StartSessionRestore(HWND window)
{
    // Nothing saved yet (a first start): no intake to hold the gate.
    if (GetFileAttributesW(SessionListPath().c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    std::unique_ptr<RestoreArgs> args(new RestoreArgs{window, ReadSettings(SettingsFilePath())});
    if (!BeginIntake()) return false;
    restoreRunning = true;
    if (_beginthread(RestoreWorker, 0, args.get()) == static_cast<uintptr_t>(-1)) {
        restoreRunning = false;
        EndIntake();
        return false;
    }
    args.release();  // the worker's now
    return true;
}

bool KeepForwardedTextForAfterRestore(const char* text, size_t maxBytes)
{
    if (!restoreRunning || !text) return false;
    const size_t kMaxBytes = 4 * 32767;  // the longest command line there is
    forwardedDuringRestore.assign(text, strnlen(text, maxBytes < kMaxBytes ? maxBytes : kMaxBytes));
    return true;
}

void OnRestoreEnded(HWND window)
{
    if (forwardedDuringRestore.empty()) return;
    std::string text;
    text.swap(forwardedDuringRestore);
    TakeCommandText(window, text.c_str(), text.size() + 1);
}

void KeepSession(HWND window)
{
    StateLock lock(stateLock);
    if (!engine || !scanner) return;
    const bool listSettled = !intakeActive && !scanning;
    const bool listChanged =
        listSettled && (listGeneration != lastSaved.listGeneration || scanner->GetNoOfFiles() != lastSaved.listCount);
    // The current file means nothing to the saved list while a new one is being filled.
    if (!listSettled) return;
    const Fingerprint fingerprint = TakeFingerprint(window);
    PlaybackSound* sound = engine->ActiveSound;
    const bool due = sound && GetTickCount() - lastSaved.savedAt >= kPositionSaveMs && !sound->QueryPaused();
    if (lastSaved.any && !listChanged && !due && fingerprint == lastSaved.fingerprint) return;

    SessionSettings settings = CurrentSettings(window);
    auto job = std::make_unique<SaveJob>();
    job->settings = settings;
    job->withList = listChanged;
    job->listGeneration = listGeneration;
    lastSaved.any = true;
    lastSaved.listGeneration = listGeneration;
    lastSaved.listCount = scanner->GetNoOfFiles();
    lastSaved.fingerprint = fingerprint;
    lastSaved.settings = std::move(settings);
    lastSaved.savedAt = GetTickCount();
    HandToSaver(std::move(job));
}

void SaveSessionAtClose(HWND window)
{
    SaveJob job;
    {
        StateLock lock(stateLock);
        if (!engine || !scanner) return;
        job.settings = CurrentSettings(window);
        const bool listSettled = !intakeActive && !scanning;
        if (!listSettled) {
            // The list is half filled: what was saved before stays, with its current file.
            job.settings.currentIndex = lastSaved.settings.currentIndex;
            job.settings.currentPath = lastSaved.settings.currentPath;
            job.settings.positionMs = lastSaved.settings.positionMs;
        } else {
            job.withList = listGeneration != lastSaved.listGeneration || scanner->GetNoOfFiles() != lastSaved.listCount;
            job.listGeneration = listGeneration;
        }
        std::lock_guard<std::mutex> guard(jobLock);
        // This one is newer than a job still waiting; the list that one was to write is written here.
        if (pendingJob && pendingJob->withList && listSettled) job.withList = true;
        pendingJob.reset();
        job.sequence = ++jobSequence;
    }
    WriteSession(job);
}
