// Playlist files (.m3u, .m3u8, .pls): telling one by its name, reading its entries as the scanner's
// paths, and writing the list as one.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Whether the path's extension is .m3u, .m3u8 or .pls, in any letter case. The short name of an
// .m3u8 ends in .M3U, so a playlist reached by its short path is still told as one.
bool IsPlaylistPath(const char* path);

// Reads the playlist at path (the scanner's 8-bit form, in the ANSI code page) and calls onEntry
// with each entry, in file order, as the 8-bit path the scanner takes: the path itself where the
// ANSI code page says it exactly, else its short path; an entry that neither reaches is passed
// over. Whether an entry exists, and what it is, is left to the scan, except that an entry reached
// by its short path must exist to have one.
//  - .m3u is in the user's legacy code page, or UTF-8 when it begins with a UTF-8 BOM; .m3u8 is
//    UTF-8. Each line is an entry; blank lines and lines beginning with '#' are not.
//  - .pls: each FileN=path line (any letter case) is an entry and every other line is ignored. A
//    line is read as UTF-8 when the file begins with a BOM or the line is valid UTF-8, else in the
//    legacy code page.
//  - Entries are trimmed of spaces and tabs; relative ones (with '\' or '/', '..' and '.') are taken
//    from the playlist's folder, rooted ones ("\Music\x.mp3") from its drive or share; absolute and
//    UNC paths are taken as they are, file: URLs percent-decoded as UTF-8. Other URLs are passed
//    over, as is a drive-relative "C:x.mp3", which means whatever the current folder of C is.
//  - Bounded whatever the file holds: it is read in chunks, at most 64 MiB and 100,000 entries of
//    it; a line over 4096 bytes is passed over whole without being kept, as is one holding a
//    control character (a NUL among them) or text its encoding cannot have.
// False when the path is not a playlist's or the file cannot be opened (a folder cannot). Throws
// std::bad_alloc.
bool ReadPlaylistFile(const char* path, const std::function<void(const std::string& entryPath)>& onEntry);

struct PlaylistEntry {
    std::string path;  // UTF-8, absolute
    int seconds;       // -1: unknown
    std::wstring artist;
    std::wstring title;
};

// The entries as an extended .m3u8 (UTF-8, "\r\n" line ends): "#EXTM3U", then for each entry an
// "#EXTINF:<seconds>,<artist> - <title>" line (only the one that is known of artist and title;
// no line when neither they nor the seconds are known), then its path. An entry whose path is
// empty, begins with '#' or holds a line end is left out: it would not read back as itself.
std::string FormatM3u8Playlist(const std::vector<PlaylistEntry>& entries);
