// Turning files and folders dropped on the window into the playlist.
#pragma once

#include "app/PlayerState.h"

// Starts DropIntakeWorker on its own copy of args; releases the drop handle when it cannot start.
void StartDropIntake(const DropArgs& args);

// The worker thread; owns and frees the DropArgs it is given, and releases the drop handle.
void __cdecl DropIntakeWorker(void* args);
