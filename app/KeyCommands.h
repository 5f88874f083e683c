// The keys of the main window beyond F1 and the overlay's scrolling: one table from a key to its action.
#pragma once

#include <windows.h>

// Runs the action of key (with Ctrl as it is held now); false when key has none. Window thread.
bool RunKeyCommand(HWND window, WPARAM key);
