// The 100 ms heartbeat of the player (timer 1).
#pragma once

#include <windows.h>

// Runs on the window thread. Each step takes the state lock only for as long as it needs it.
void CALLBACK PlaybackTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// The seek progress in pixels for a play position (0 to 1) on a bar barWidth wide.
int ProgressWidth(float position, int barWidth);
