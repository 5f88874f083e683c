// Reaching a file whose name the ANSI code page cannot say: by its short (8.3) path, which is
// ASCII, and back to the long name its owner gave it.
#pragma once

#include <cstddef>

// Writes the 8-bit path by which the player's ANSI calls reach the file or folder at path: the path
// itself where the ANSI code page says it exactly, else its short path. False, leaving buffer
// empty, where neither is possible (no such file, no short names on the volume, or no room).
bool GetReachablePath(const wchar_t* path, char* buffer, size_t capacity);

// When path names its file by a short name (as the scanner lists a file whose long name the ANSI
// code page cannot say), writes the file's long name (the last component, as its owner named it)
// into name, bounded by capacity and terminated. False, leaving name empty, when the path's own
// last component already is the file's name, or when no file is found.
bool GetLongNameOfShortPath(const char* path, wchar_t* name, int capacity);
