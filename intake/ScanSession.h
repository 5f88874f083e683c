// What the intake workers share while they scan: the title, drop acceptance, the `scanning` gate,
// and the scans themselves.
#pragma once

#include <windows.h>

class ScanSession {
public:
    // Saves the title (at most titleCapacity - 1 characters), shows "Scanning for music files",
    // sets `scanning` and takes drop acceptance away.
    ScanSession(HWND window, int titleCapacity);
    // Clears `scanning`, then gives back drop acceptance and the title, in that order, so the
    // playback timer's title animation cannot overwrite the restored title.
    void Finish();
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

private:
    HWND window;
    char savedTitle[256];
    LONG savedExStyle;
    bool removedAcceptFiles;
    bool finished;
};

// Scans one path into the playlist without holding the state lock; nothing when the scanner is gone.
// A playlist file (.m3u, .m3u8, .pls) is read and its entries scanned in its order instead. Every
// intake scans through this.
void ScanIntoPlaylist(const char* path);
// The scanner's count (0 without a scanner).
int PlaylistCount();
