// The window handling that the intake workers share while they scan: the title, drop acceptance,
// the `scanning` gate, the one-intake-at-a-time gate, and the scans themselves.
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
void ScanIntoPlaylist(const char* path);
// The scanner's count (0 without a scanner).
int PlaylistCount();
// Starts the file at currentIndex when nothing is loaded and the list holds a file. A file that
// does not start gives way to the one after it, once around the list at most.
void StartPlaybackIfIdle(HWND window);

// Window thread: lets an intake in by setting `intakeActive`; false while another intake runs,
// whose worker has not ended yet. The caller then refuses its text or drop.
bool BeginIntake();
// Clears `intakeActive`: the last step of an intake's worker, or of its starter when the worker
// could not be started.
void EndIntake();
