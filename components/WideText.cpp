// Text between 8-bit code pages (ANSI, UTF-8) and UTF-16, bounded and terminated, and the user's
// legacy code page.
#include "components/WideText.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

// CP_ACP is UTF-8 where the manifest's code page is honoured, and legacy elsewhere.
bool IsUtf8(UINT codePage)
{
    return codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
}

// UTF-8 takes no MultiByteToWideChar flag but MB_ERR_INVALID_CHARS, and refuses the whole call for
// any other.
DWORD FlagsFor(UINT codePage, DWORD flags)
{
    return IsUtf8(codePage) ? flags & MB_ERR_INVALID_CHARS : flags;
}

// A UTF-8 prefix that ends inside a character converts to U+FFFD, one unit, which may fit where
// the whole character (a surrogate pair) does not; such a cut moves back to the character's first
// byte. Elsewhere half a character gives no unit or as many as the whole one, so the longest prefix
// that fits never shows half of one.
int StartOfCharacter(UINT codePage, const char* text, int at)
{
    if (IsUtf8(codePage))
        while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

// Converts into at most room units; returns how many were written. The size is asked first: Wine
// answers an overflowing UTF-8 conversion with success and a text cut inside a surrogate pair.
int ConvertBounded(UINT codePage, DWORD flags, const char* text, wchar_t* buffer, int room)
{
    int length = static_cast<int>(strlen(text));
    int cut = length;
    if (MultiByteToWideChar(codePage, flags, text, length, nullptr, 0) > room) {
        // The longest prefix whose conversion fits (a character gives one unit or more, so the
        // need grows with the prefix), moved back to the start of the character it ends in.
        int lo = 0, hi = length;
        while (lo < hi) {
            int mid = lo + (hi - lo + 1) / 2;
            if (MultiByteToWideChar(codePage, flags, text, mid, nullptr, 0) <= room)
                lo = mid;
            else
                hi = mid - 1;
        }
        cut = StartOfCharacter(codePage, text, lo);
    }
    int written = cut > 0 ? MultiByteToWideChar(codePage, flags, text, cut, buffer, room) : 0;
    return std::max(written, 0);
}

}  // namespace

void ConvertToWide(UINT codePage, DWORD flags, const char* text, wchar_t* buffer, int capacity)
{
    if (!buffer || capacity <= 0) return;
    flags = FlagsFor(codePage, flags);
    int written = text && *text && capacity > 1 ? ConvertBounded(codePage, flags, text, buffer, capacity - 1) : 0;
    wmemset(buffer + written, L'\0', capacity - written);
}

std::wstring ConvertToWide(UINT codePage, DWORD flags, const std::string& text)
{
    if (text.empty()) return {};
    flags = FlagsFor(codePage, flags);
    int length = static_cast<int>(text.size());
    // A byte never gives more than one unit unless MB_COMPOSITE splits a character, so nearly every
    // text (each of the scanner's paths) converts in one call.
    std::wstring wide(text.size(), L'\0');
    int written = MultiByteToWideChar(codePage, flags, text.data(), length, &wide[0], length);
    if (written == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        int need = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
        if (need <= 0) return {};
        wide.assign(need, L'\0');
        written = MultiByteToWideChar(codePage, flags, text.data(), length, &wide[0], need);
    }
    wide.resize(std::max(written, 0));
    return wide;
}

std::string ConvertToUtf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &utf8[0], size, nullptr, nullptr);
    return utf8;
}

int CopyWideText(const wchar_t* text, size_t length, wchar_t* buffer, int capacity)
{
    if (!buffer || capacity <= 0) return 0;
    size_t count = text ? std::min(length, static_cast<size_t>(capacity - 1)) : 0;
    if (count > 0 && IS_HIGH_SURROGATE(text[count - 1])) --count;
    if (count > 0) wmemcpy(buffer, text, count);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

UINT UserLegacyCodePage()
{
    // The system's locale comes second: its code page is the one GetACP answered before the
    // manifest made the player's own UTF-8.
    for (LCID locale : {LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT}) {
        DWORD codePage = 0;
        // With LOCALE_RETURN_NUMBER the answer is a DWORD written over the buffer, sized in characters.
        if (GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                           reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t)) &&
            codePage != 0 && IsValidCodePage(codePage))
            return codePage;
    }
    return GetACP();
}
