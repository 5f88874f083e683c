// The 100 ms heartbeat of the player (timer 1).
#pragma once

#include <windows.h>

void CALLBACK PlaybackTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
