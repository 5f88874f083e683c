// "Save playlist as": the list written as an .m3u8 file, with each file's length and tags.
#pragma once

#include <windows.h>

// Asks for a name with the save dialog, then writes the list there on a worker of its own (the
// tags and lengths of a long list take a while); tells the user when the file cannot be written.
// Window thread.
void SavePlaylistAs(HWND window);
