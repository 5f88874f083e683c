// The session kept between runs: the list, the current file and its position, random play, the
// volume and the window's place, restored at start and saved while the player runs.
#pragma once

#include <windows.h>

// Before the window is first shown: the volume, random play and the window's place (moved onto the
// nearest monitor when it is off every one). Window thread.
void RestoreSessionSettings(HWND window);

// A plain start: an intake worker reads the list (leaving out files that are gone) and loads the
// current file paused at its position. False when no intake could start.
bool StartSessionRestore(HWND window);

// A text a second launch hands over while the restore holds the intake gate (a double-click in
// Explorer just after a plain start) is kept, the latest one, instead of being lost; false when no
// restore runs. Window thread.
bool KeepForwardedTextForAfterRestore(const char* text, size_t maxBytes);
// kRestoreEndedMessage: the text kept meanwhile is taken in now, as if it came at this moment.
void OnRestoreEnded(HWND window);

// Each timer tick: hands what changed since the last save to the saving thread: the list once no
// intake is running, the settings when the current file, the volume or random play changed, or
// every 30 s while a file plays. Cheap when nothing changed. Window thread.
void KeepSession(HWND window);

// At close, before the engine and the list are freed: saves the session on the calling thread.
// While an intake is still filling the list, the saved list and its current file stay as they were.
void SaveSessionAtClose(HWND window);
