// Reaching a file whose name the ANSI code page cannot say, and its long name.
#include "components/ShortPath.h"
#include "components/WideText.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <new>
#include <string>

namespace {

// The text in the code page, or "" when the code page cannot say it exactly: converted back it
// must give the same text, so neither '?' for a missing character nor a look-alike gets through
// (nor, in UTF-8, U+FFFD for half a surrogate pair).
std::string ExactAnsi(const wchar_t* text, UINT codePage)
{
    int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string ansi(size, '\0');
    WideCharToMultiByte(codePage, 0, text, -1, &ansi[0], size, nullptr, nullptr);
    ansi.resize(size - 1);
    if (ConvertToWide(codePage, 0, ansi) != text) return {};
    return ansi;
}

bool ReachablePath(const wchar_t* path, char* buffer, size_t capacity, UINT codePage)
{
    std::string ansi = ExactAnsi(path, codePage);
    if (ansi.empty()) {
        DWORD size = GetShortPathNameW(path, nullptr, 0);
        if (size == 0) return false;
        std::wstring shortPath(size, L'\0');
        DWORD length = GetShortPathNameW(path, &shortPath[0], size);
        if (length == 0 || length >= size) return false;
        shortPath.resize(length);
        ansi = ExactAnsi(shortPath.c_str(), codePage);  // a volume without short names gives the long path back
    }
    if (ansi.empty() || ansi.size() >= capacity) return false;
    memcpy(buffer, ansi.c_str(), ansi.size() + 1);
    return true;
}

bool LongNameOfShortPath(const char* path, wchar_t* name, int capacity)
{
    std::wstring widePath = ConvertToWide(CP_ACP, 0, path);
    if (widePath.empty()) return false;
    wchar_t last = widePath.back();
    if (last == L'\\' || last == L'/' || last == L':') return false;  // names no file

    DWORD size = GetLongPathNameW(widePath.c_str(), nullptr, 0);
    if (size == 0) return false;
    std::wstring longPath(size, L'\0');
    DWORD length = GetLongPathNameW(widePath.c_str(), &longPath[0], size);
    if (length == 0 || length >= size) return false;
    longPath.resize(length);
    const wchar_t* longName = PathFindFileNameW(longPath.c_str());
    if (_wcsicmp(longName, PathFindFileNameW(widePath.c_str())) == 0) return false;

    return CopyWideText(longName, wcslen(longName), name, capacity) > 0;
}

}  // namespace

// Both answer false, rather than throw, when memory runs out: their callers show a name or skip a
// file, and neither is worth more than that.
bool GetReachablePath(const wchar_t* path, char* buffer, size_t capacity, UINT codePage)
{
    if (!buffer || capacity == 0) return false;
    buffer[0] = '\0';
    if (!path || !*path) return false;
    try {
        return ReachablePath(path, buffer, capacity, codePage);
    } catch (const std::bad_alloc&) {
        buffer[0] = '\0';
        return false;
    }
}

bool GetLongNameOfShortPath(const char* path, wchar_t* name, int capacity)
{
    if (!name || capacity <= 0) return false;
    name[0] = L'\0';
    if (!path || !*path) return false;
    try {
        return LongNameOfShortPath(path, name, capacity);
    } catch (const std::bad_alloc&) {
        name[0] = L'\0';
        return false;
    }
}
