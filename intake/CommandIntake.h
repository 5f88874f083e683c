// Turning a command text (the command line, or one forwarded by a second launch) into the playlist.
#pragma once

#include <windows.h>
#include <cstddef>

// Replaces commandText with a zero-filled copy of at most maxBytes bytes of text (stopping at a
// zero byte), fills commandArgs and starts CommandIntakeWorker on it. Window
// thread only: it is the step that lets the intake in (BeginIntake). False, with nothing changed,
// when another intake runs, when the text is longer than a command line can be (32,767
// characters), or when the copy cannot be made or the thread cannot start.
bool StartCommandIntake(HWND window, const char* text, size_t maxBytes);

// A command text taken in while the player runs (forwarded by a second launch, or made by the
// open commands of the menu): started as above, and the overlay goes back to its start. False when
// it was not taken (another intake runs). Window thread.
bool TakeCommandText(HWND window, const char* text, size_t maxBytes);

// The worker thread, given &commandArgs, which stays as it is while the intake holds the gate.
void __cdecl CommandIntakeWorker(void* args);
