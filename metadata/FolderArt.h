// The picture kept beside an album's files (cover.jpg and its kin), decoded once per folder and
// handed to each record as a thumbnail of its own.
#pragma once

#include <windows.h>
#include <gdiplus.h>

// A 100 x 100 thumbnail of the picture in the folder of the file at path (8-bit, ANSI code page),
// for the caller to delete. The picture is the first of cover, folder, front and album, each as
// .jpg, .jpeg or .png in any letter case, bounded as a tag's cover is. Null when the folder has
// none, when that one is too large or does not decode, or when memory runs out.
// Any thread may call it. A folder is looked at once while it stays among the last ones asked for,
// so a picture changed or added meanwhile is not seen.
Gdiplus::Image* CopyFolderArt(const char* path);

// How many folder pictures have been read and decoded in this process; tests tell by it that a
// folder's picture is decoded once for all its records.
long FolderArtDecodes();
