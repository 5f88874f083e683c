// Text between 8-bit code pages (ANSI, UTF-8) and UTF-16, bounded and terminated, the code page that
// text from outside is in when it is not UTF-8, and the text shown where a value is missing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Shown for a tag text the file does not have, and for a figure there is no sound to tell.
inline constexpr wchar_t kMissingText[] = L"[N/A]";

// Converts 8-bit text in codePage with the MultiByteToWideChar flags given (MB_COMPOSITE, or 0;
// UTF-8, which CP_ACP is where the manifest's code page is honoured, keeps only
// MB_ERR_INVALID_CHARS of them, the one flag it takes) into buffer, every unit after the text
// zero. A text that does not fit is cut after its last whole character that does, so neither half
// of a character nor of a surrogate pair is kept. Null or unconvertible text gives "".
void ConvertToWide(UINT codePage, DWORD flags, const char* text, wchar_t* buffer, int capacity);

// The whole text converted (flags as above); "" when the code page cannot convert it (with
// MB_ERR_INVALID_CHARS, also when the text holds bytes the code page has no character for).
// Throws std::bad_alloc.
std::wstring ConvertToWide(UINT codePage, DWORD flags, const std::string& text);

// UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD. Throws std::bad_alloc.
std::string ConvertToUtf8(const std::wstring& text);

// Copies at most capacity - 1 units of text, dropping a high surrogate left last (half of a pair
// that the cut, or the text itself, broke); always terminated. Returns the units written.
int CopyWideText(const wchar_t* text, size_t length, wchar_t* buffer, int capacity);

// The code page of 8-bit text the user's programs wrote (playlists without a BOM, ID3 frames marked
// ISO-8859-1): the ANSI code page of the user's locale, which can differ from the one the player's
// own 8-bit paths are in (GetACP: UTF-8 where the manifest's code page is honoured). Where the
// user's locale has none (a locale only Unicode can write), the system locale's; GetACP where
// neither has one.
UINT UserLegacyCodePage();
