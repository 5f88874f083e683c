// Mouse behaviour of the buttons and the seek bar.
#pragma once

#include <windows.h>

void HandleControlMouse(LPARAM position, HWND window, WPARAM keyState);
