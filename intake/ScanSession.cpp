// What the intake workers share while they scan: the title, drop acceptance, and the scans.
#include "intake/ScanSession.h"

#include "app/PlayerState.h"
#include "components/FolderScanner.h"

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
