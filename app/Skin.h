// Window creation and destruction: the engine, the scanner, the skin, the layout, timer 1.
#pragma once

#include <windows.h>

// Folder of the executable, with its trailing backslash.
extern wchar_t executableFolder[MAX_PATH];

// Fills executableFolder from a process command line that begins with the executable's path in
// double quotes; otherwise from the module's own file name.
void FindExecutableFolder(const wchar_t* commandLine);

// WM_CREATE: builds everything; on failure tells the user and destroys the window. With
// commandText (the player's own start; empty when it names nothing) it also restores the session's
// settings and lets the text's intake in as soon as the engine is made, so the first file is
// opened and started while the skin loads.
void InitializeWindow(HWND window, const char* commandText);
// WM_DESTROY: frees everything InitializeWindow built and ends the message loop.
void TeardownWindow(HWND window);
// WM_DPICHANGED: lays the window out again at dpi, with the skin set for it, and takes the
// suggested rectangle; the overlay's rows are drawn again at the new size.
void RescaleWindow(HWND window, int dpi, const RECT& suggested);
