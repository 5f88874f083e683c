// The playlist overlay: composing the cached rows, scrolling, hover and click-to-play.
// Not built yet: the overlay shows nothing and its rows are never built.
#include "render/PlaylistView.h"

void ComposePlaylistView(const RECT&, HDC, int) {}

void TrackPlaylistPointer(unsigned, HWND, bool) {}

void CALLBACK ScrollEasingTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD)
{
    KillTimer(window, timerId);  // nothing scrolls until the overlay exists
}

void __cdecl PlaylistBuildWorker(void*) {}
