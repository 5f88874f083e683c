// Tests of the 8-bit to UTF-16 conversions: bounds, terminators and where a long text is cut.
#include "components/WideText.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

TEST(WideText, BufferConversionStaysInsideTheBufferAndZeroesWhatFollowsTheText)
{
    wchar_t buffer[8];
    wmemset(buffer, L'#', 8);
    ConvertToWide(1252, 0, "abcdefghijkl", buffer, 5);
    EXPECT_STREQ(buffer, L"abcd");
    EXPECT_EQ(buffer[5], L'#');

    wmemset(buffer, L'#', 8);
    ConvertToWide(1252, 0, "ab", buffer, 5);
    EXPECT_EQ(std::wstring(buffer, 5), std::wstring(L"ab\0\0\0", 5));
    ConvertToWide(1252, 0, nullptr, buffer, 5);
    EXPECT_STREQ(buffer, L"");
}

TEST(WideText, ALongTextIsCutAfterItsLastWholeCharacter)
{
    struct Case {
        UINT codePage;
        DWORD flags;
        const char* text;
        int capacity;
        const wchar_t* kept;
    } cases[] = {
        {CP_UTF8, 0, "ab\xF0\x9F\x8E\xB5", 4, L"ab"},  // a character that needs 2 units, 1 left
        {CP_UTF8, 0, "ab\xF0\x9F\x8E\xB5", 5, L"ab\U0001F3B5"},
        {1252, MB_COMPOSITE, "caf\xE9", 5, L"caf"},  // e and its accent go together
        // The tests' ANSI code page is UTF-8, which refuses MB_COMPOSITE: the flag is not passed on.
        {CP_ACP, MB_COMPOSITE, "ab\xF0\x9F\x8E\xB5", 4, L"ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        wchar_t buffer[8];
        ConvertToWide(c.codePage, c.flags, c.text, buffer, c.capacity);
        EXPECT_STREQ(buffer, c.kept);
    }
}

TEST(WideText, StringConversionKeepsEveryUnitEvenWhenThereAreMoreUnitsThanBytes)
{
    EXPECT_EQ(ConvertToWide(CP_UTF8, 0, std::string("Gr\xC3\xBC\xC3\x9F")), L"Gr\u00FC\u00DF");
    EXPECT_EQ(ConvertToWide(1252, MB_COMPOSITE, std::string("caf\xE9")), L"cafe\u0301");
    EXPECT_EQ(ConvertToWide(1252, 0, std::string()), L"");
    EXPECT_EQ(ConvertToWide(CP_ACP, MB_COMPOSITE, std::string("\xD0\x9F\xE6\x9B\xB2")), L"\u041F\u66F2");
}

TEST(WideText, CopyNeverEndsOnTheFirstHalfOfAPair)
{
    struct Case {
        const wchar_t* text;
        int capacity;
        const wchar_t* kept;
    } cases[] = {
        {L"ab\U0001F3B5", 4, L"ab"},            // the cut falls between the halves
        {L"ab\U0001F3B5", 5, L"ab\U0001F3B5"},  // the pair fits whole
        {L"ab\xD83C", 8, L"ab"},                // a text that itself ends on half a pair
        {L"abcdef", 4, L"abc"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[8];
        wmemset(buffer, L'#', 8);
        int written = CopyWideText(c.text, wcslen(c.text), buffer, c.capacity);
        EXPECT_STREQ(buffer, c.kept);
        EXPECT_EQ(written, static_cast<int>(wcslen(c.kept)));
    }
}

}  // namespace
