// What the intake workers share while they scan: the title, drop acceptance, and the scans, of
// playlists too.
#include "intake/ScanSession.h"

#include "app/PlayerState.h"
#include "app/Startup.h"
#include "components/FolderScanner.h"
#include "intake/PlaylistFile.h"

#include <new>
#include <string>

ScanSession::ScanSession(HWND window) : window(window), finished(false)
{
    scanning = true;
    PostMessageA(window, kScanShownMessage, TRUE, 0);
}

void ScanSession::Finish()
{
    if (finished) return;
    finished = true;
    scanning = false;
    PostMessageA(window, kScanShownMessage, FALSE, 0);
}

ScanSession::~ScanSession()
{
    Finish();
}

void ShowScanOnWindow(HWND window, bool scanRuns)
{
    // Outside a scan the window always has its own title and takes drops. The messages come in
    // the order the sessions posted them, so the last one tells how the window stands.
    const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    if (scanRuns) {
        SetWindowTextA(window, "Scanning for music files");
        SetWindowLongA(window, GWL_EXSTYLE, exStyle & ~WS_EX_ACCEPTFILES);
    } else {
        SetWindowLongA(window, GWL_EXSTYLE, exStyle | WS_EX_ACCEPTFILES);
        SetWindowTextA(window, kWindowTitle);
    }
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
