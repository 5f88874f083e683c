// The playlist overlay: composing the cached rows, scrolling, hover and click-to-play.
#pragma once

#include <windows.h>

// Draws the four rows at scroll position `scroll` (pixels) into target at (0, 0), view.right wide.
void ComposePlaylistView(const RECT& view, HDC target, int scroll);
// The same onto a device context of the window, taken and given back here.
void ComposePlaylistViewOnWindow(HWND window, const RECT& view, int scroll);
void TrackPlaylistPointer(unsigned y, HWND window, bool buttonDown);
void CALLBACK ScrollEasingTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
void __cdecl PlaylistBuildWorker(void* window);
// After the view was sent elsewhere in a long list: starts a worker for the rows it now wants,
// unless one runs (it follows the view) or nothing is missing. Window thread.
void RequestPlaylistRows(HWND window);
