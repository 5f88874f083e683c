// Reaching a file whose name the ANSI code page cannot say: by its short (8.3) path, which is
// ASCII, and back to the long name its owner gave it. Where the manifest's UTF-8 code page is
// honoured, every name is said exactly and no short name is needed; older systems keep a legacy
// ANSI code page and need them.
#pragma once

#include <windows.h>

#include <cstddef>

// Writes the 8-bit path by which the player's ANSI calls reach the file or folder at path: the path
// itself where the ANSI code page says it exactly, else its short path. False, leaving buffer
// empty, where neither is possible (no such file, no short names on the volume, or no room).
// codePage is the ANSI code page the path is for; another than CP_ACP only shows what a system
// with that ANSI code page would be given.
bool GetReachablePath(const wchar_t* path, char* buffer, size_t capacity, UINT codePage = CP_ACP);

// When path names its file by a short name (as the scanner lists a file whose long name the ANSI
// code page cannot say), writes the file's long name (the last component, as its owner named it)
// into name, bounded by capacity and terminated. False, leaving name empty, when the path's own
// last component already is the file's name, or when no file is found.
bool GetLongNameOfShortPath(const char* path, wchar_t* name, int capacity);
