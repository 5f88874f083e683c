// The window handling that the intake workers share while they scan.
#include "intake/ScanSession.h"

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "playback/Transport.h"

ScanSession::ScanSession(HWND window, int titleCapacity)
    : window(window), savedTitle{}, savedExStyle(0), removedAcceptFiles(false), finished(false)
{
    if (titleCapacity > static_cast<int>(sizeof savedTitle)) titleCapacity = sizeof savedTitle;
    GetWindowTextA(window, savedTitle, titleCapacity);
    SetWindowTextA(window, "Scanning for music files");
    scanning = true;
    savedExStyle = GetWindowLongA(window, GWL_EXSTYLE);
    if (savedExStyle & WS_EX_ACCEPTFILES) {
        SetWindowLongA(window, GWL_EXSTYLE, savedExStyle ^ WS_EX_ACCEPTFILES);
        removedAcceptFiles = true;
    }
}

void ScanSession::Finish()
{
    if (finished) return;
    finished = true;
    scanning = false;
    if (removedAcceptFiles) SetWindowLongA(window, GWL_EXSTYLE, savedExStyle);
    SetWindowTextA(window, savedTitle);
}

ScanSession::~ScanSession()
{
    Finish();
}

void ScanIntoPlaylist(const char* path)
{
    FolderScanner* target;
    {
        StateLock lock(stateLock);
        target = scanner;
        if (!target) return;
        ++scansInFlight;  // keeps the teardown from freeing the scanner under this scan
    }
    target->Scan(path);
    StateLock lock(stateLock);
    --scansInFlight;
}

int PlaylistCount()
{
    StateLock lock(stateLock);
    return scanner ? scanner->GetNoOfFiles() : 0;
}

void StartPlaybackIfIdle(HWND window)
{
    // Each attempt opens its file without the lock (the start takes it only to commit), so the
    // window thread is not kept out while files that do not start are tried.
    int attempts = PlaylistCount();
    for (int attempt = 0; attempt < attempts; ++attempt) {
        {
            StateLock lock(stateLock);
            if (!engine || engine->ActiveSound || !scanner) return;
            int count = scanner->GetNoOfFiles();
            if (count <= 0) return;
            if (attempt > 0) currentIndex = (currentIndex + 1) % count;
        }
        TogglePlayPause(window);
    }
}

bool BeginIntake()
{
    bool expected = false;
    return intakeActive.compare_exchange_strong(expected, true);
}

void EndIntake()
{
    intakeActive = false;
}
