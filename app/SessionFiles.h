// The session kept between runs: where its files live, and how they are read and written.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SessionSettings {
    int volume = 100;            // 0..100
    int volumeBeforeMute = 100;  // 1..100: the level that unmuting brings back
    bool randomPlay = false;
    bool alwaysOnTop = false;
    bool hasWindowPlace = false;
    int windowLeft = 0;  // screen coordinates of the window's top-left corner
    int windowTop = 0;
    int currentIndex = -1;    // index into the list file's entries, -1: none
    std::string currentPath;  // UTF-8, "" none
    uint32_t positionMs = 0;
};

// %APPDATA%\Lumetra without a trailing backslash: the APPDATA environment variable when set and
// non-empty, else SHGetFolderPathW(CSIDL_APPDATA); "" when neither gives a folder.
std::wstring SessionFolder();
std::wstring SettingsFilePath();  // SessionFolder() + L"\\settings.ini" ("" when no folder)
std::wstring SessionListPath();   // SessionFolder() + L"\\session.m3u8" ("" when no folder)

// Writes bytes as the whole new content of path: creates the folder of path if missing, writes a
// temporary file beside it, FlushFileBuffers, then MoveFileExW(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH). On any failure the previous file is left intact, the temporary file
// removed, and false returned.
bool WriteFileWhole(const std::wstring& path, const std::string& bytes);

// Text form: "key=value" lines ending in "\r\n" (keys: volume, volume_before_mute, random,
// always_on_top, window
// as "left,top", current_index, current_path, position_ms; window only when hasWindowPlace).
std::string FormatSettings(const SessionSettings& settings);
// Tolerant: unknown keys, malformed lines and out-of-range values are ignored (the default
// stays); numbers are clamped/validated (volume 0..100, volumeBeforeMute 1..100, window
// coordinates within +-100000, position within uint32, index >= -1); lines may end in \n or \r\n;
// a UTF-8 BOM at the start is skipped; NUL bytes or invalid UTF-8 in current_path make it "".
SessionSettings ParseSettings(const std::string& bytes);
// Reads at most the first 64 KiB of the file; defaults when it is missing or unreadable.
SessionSettings ReadSettings(const std::wstring& path);

// "#EXTM3U\r\n" then each path on its own line ("\r\n"). A path holding "\r" or "\n" is left out
// (FormatSettings writes such a current_path as ""): it could not be read back as one entry.
std::string FormatSessionList(const std::vector<std::string>& utf8Paths);
// Streams the list file and calls onPath with each entry in order (UTF-8 as in the file, the line
// without its line end and without surrounding spaces/tabs); skips empty lines, lines beginning
// with '#', a UTF-8 BOM at the start, lines longer than 4096 bytes (skipped whole, without
// buffering them), lines holding a NUL byte or invalid UTF-8. Stops after maxEntries entries or
// when onPath returns false. Reads in chunks (e.g. 64 KiB) so memory stays bounded whatever the
// file's size. False when the file cannot be opened.
bool ReadSessionList(const std::wstring& path, const std::function<bool(const std::string&)>& onPath,
                     size_t maxEntries = 500000);
