// The 100 ms heartbeat of the player (timer 1).
// Not built yet: track ends, media keys, the seek progress and the scan-time start are not
// handled until it is.
#include "playback/PlaybackTimer.h"

void CALLBACK PlaybackTimerProc(HWND, UINT, UINT_PTR, DWORD) {}
