// Mouse behaviour of the buttons and the seek bar.
// Not built yet: the buttons do not answer the mouse until it is.
#include "playback/ControlMouse.h"

void HandleControlMouse(LPARAM, HWND, WPARAM) {}
