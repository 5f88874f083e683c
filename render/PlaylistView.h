// The playlist overlay: composing the cached rows, scrolling, hover and click-to-play.
#pragma once

#include <windows.h>

void ComposePlaylistView(const RECT& view, HDC target, int scroll);
void TrackPlaylistPointer(unsigned y, HWND window, bool buttonDown);
void CALLBACK ScrollEasingTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
void __cdecl PlaylistBuildWorker(void* window);
