// What the intake workers share while they scan: the title, drop acceptance, the `scanning` gate,
// and the scans themselves.
#pragma once

#include <windows.h>

// Held by an intake worker while it fills the list. The title and drop acceptance belong to the
// window thread, which changes them on kScanShownMessage: the worker only posts, so it never waits
// for a window thread that may still be building the window.
class ScanSession {
public:
    // Sets `scanning`; the window then shows "Scanning for music files" and takes drops no more.
    explicit ScanSession(HWND window);
    // Clears `scanning`; the window then gives back drop acceptance and its title. Posted after
    // the flag is cleared, so the playback timer's title animation cannot overwrite the title.
    void Finish();
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

private:
    HWND window;
    bool finished;
};

// kScanShownMessage, on the window thread: the scan's title and refusal of drops while a scan
// runs, the window's own title and drop acceptance after it.
void ShowScanOnWindow(HWND window, bool scanRuns);

// Scans one path into the playlist without holding the state lock; nothing when the scanner is gone.
// A playlist file (.m3u, .m3u8, .pls) is read and its entries scanned in its order instead. Every
// intake scans through this.
void ScanIntoPlaylist(const char* path);
// The scanner's count (0 without a scanner).
int PlaylistCount();
