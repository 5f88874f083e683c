// The playlist overlay: composing the cached rows, scrolling, hover and click-to-play.
#pragma once

#include <windows.h>
#include <gdiplus.h>

// Draws the four rows at scroll position `scroll` (pixels) into target at (0, 0), view.right wide.
void ComposePlaylistView(const RECT& view, HDC target, int scroll);
// The same through GDI+, copying the rows' alpha as it is (the paint of the control layer).
void DrawPlaylistView(Gdiplus::Graphics* graphics, const RECT& view, int scroll);
void TrackPlaylistPointer(unsigned y, HWND window, bool buttonDown);
void CALLBACK ScrollEasingTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
void __cdecl PlaylistBuildWorker(void* window);
// After the view was sent elsewhere in a long list: starts a worker for the rows it now wants,
// unless one runs (it follows the view) or nothing is missing. Window thread.
void RequestPlaylistRows(HWND window);

// What the window procedure hands over while the overlay is concerned. Window thread.
// F1: shows or hides the overlay, building its rows on a worker when they are not built.
void TogglePlaylistOverlay(HWND window);
// Up and Down by a row, Page Up and Page Down by four, Home and End to the ends, while it shows.
void ScrollPlaylistByKey(HWND window, WPARAM key);
// One notch of the wheel (120) is one row, while it shows.
void ScrollPlaylistByWheel(HWND window, int delta);
// A new list is coming: the overlay hides, and its rows and position are forgotten.
void ResetPlaylistView();
// Builds the overlay's rows again when it is shown and no build is running (one that is running
// finds the change itself).
void RebuildShownPlaylist(HWND window);
