// Reading the files the player is handed (playlists, its session): opened so that a program saving
// one meanwhile is not refused, and read in whole chunks.
#pragma once

#include <windows.h>

#include <string>

// Shared for reading, writing and deleting, so a writer replacing the file meanwhile goes on; the
// handle keeps what it opened.
inline HANDLE OpenForReading(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Reads until size bytes are in or the file ends; false when a read fails.
inline bool ReadUpTo(HANDLE file, char* into, DWORD size, DWORD& got)
{
    got = 0;
    while (got < size) {
        DWORD read = 0;
        if (!ReadFile(file, into + got, size - got, &read, nullptr)) return false;
        if (read == 0) break;
        got += read;
    }
    return true;
}
