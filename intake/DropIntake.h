// Turning files and folders dropped on the window into the playlist.
#pragma once

#include "app/PlayerState.h"

// Fills dropArgs and starts DropIntakeWorker on it, for an intake the caller has let in
// (BeginIntake); releases the drop handle and ends the intake when the worker cannot start.
void StartDropIntake(HWND window, HDROP drop);

// The worker thread, given &dropArgs, which stays as it is while the intake holds the gate;
// releases the drop handle.
void __cdecl DropIntakeWorker(void* args);
