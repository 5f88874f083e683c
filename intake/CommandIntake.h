// Turning a command text (the command line, or one forwarded by a second launch) into the playlist.
#pragma once

#include <windows.h>
#include <cstddef>

// Replaces commandText with a zero-filled copy of at most maxBytes bytes of text (stopping at a
// zero byte), fills commandArgs and starts CommandIntakeWorker on its own copy of both.
// False when the copy cannot be made or the thread cannot start.
bool StartCommandIntake(HWND window, const char* text, size_t maxBytes);

// The worker thread; owns and frees the CommandArgs (and its text) it is given.
void __cdecl CommandIntakeWorker(void* args);
