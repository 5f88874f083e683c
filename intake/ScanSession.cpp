// What the intake workers share while they scan: the title, drop acceptance, and the scans, of
// playlists too.
#include "intake/ScanSession.h"

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "intake/PlaylistFile.h"

#include <new>
#include <string>

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
    // A playlist's entries are scanned in its order, each as a path given alone would be, but for one
    // thing: Scan lists music files only, so a playlist among them is not read, and a playlist that
    // names itself or another cannot loop. A path that is no readable playlist (a folder named
    // "x.m3u") is scanned as it is.
    try {
        if (!ReadPlaylistFile(path, [target](const std::string& entry) { target->Scan(entry.c_str()); }))
            target->Scan(path);
    } catch (const std::bad_alloc&) {
        // No memory to read the playlist on: the entries it added so far stay.
    }
    StateLock lock(stateLock);
    --scansInFlight;
}

int PlaylistCount()
{
    StateLock lock(stateLock);
    return scanner ? scanner->GetNoOfFiles() : 0;
}
