// Turning files and folders dropped on the window into the playlist.
#pragma once

#include "app/PlayerState.h"

// Starts DropIntakeWorker on its own copy of args, for an intake the caller has let in
// (BeginIntake); releases the drop handle and ends the intake when the worker cannot start.
void StartDropIntake(const DropArgs& args);

// The worker thread; owns and frees the DropArgs it is given, releases the drop handle and, last,
// ends the intake.
void __cdecl DropIntakeWorker(void* args);
