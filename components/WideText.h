// Text from 8-bit code pages (ANSI, UTF-8) into UTF-16, bounded and terminated, and the text shown
// where a value is missing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Shown for a tag text the file does not have, and for a figure there is no sound to tell.
inline constexpr wchar_t kMissingText[] = L"[N/A]";

// Converts 8-bit text in codePage with the MultiByteToWideChar flags given (MB_COMPOSITE, or 0;
// CP_UTF8 takes 0) into buffer, every unit after the text zero. A text that does not fit is cut
// after its last whole character that does, so neither half of a character nor of a surrogate pair
// is kept. Null or unconvertible text gives "".
void ConvertToWide(UINT codePage, DWORD flags, const char* text, wchar_t* buffer, int capacity);

// The whole text converted; "" when the code page cannot convert it. Throws std::bad_alloc.
std::wstring ConvertToWide(UINT codePage, DWORD flags, const std::string& text);

// Copies at most capacity - 1 units of text, dropping a high surrogate left last (half of a pair
// that the cut, or the text itself, broke); always terminated. Returns the units written.
int CopyWideText(const wchar_t* text, size_t length, wchar_t* buffer, int capacity);
