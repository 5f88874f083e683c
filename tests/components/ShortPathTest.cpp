// The 8-bit paths that reach files in any script: exact under the UTF-8 code page the player's
// manifest asks for, by short names under a legacy one (the code page of older systems).
#include "components/ShortPath.h"

#include <gtest/gtest.h>

#include <string>

#include "components/WideText.h"
#include "support/TestSupport.h"

namespace {

TEST(ReachablePath, NamesAreExactWhereTheCodePageSaysThemAndShortElsewhere)
{
    const std::string folder = MakeTempFolder("reach");
    const std::wstring root = ConvertToWide(CP_UTF8, 0, folder) + L"\\";
    const struct {
        const wchar_t* name;
        UINT codePage;
        bool exact;  // else the short path
    } cases[] = {
        {L"\u041F\u0435\u0441\u043D\u044F.mp3", CP_ACP, true},  // the tests' ANSI code page is UTF-8
        {L"\u66F2.mp3", CP_ACP, true},
        {L"\U0001F3B5.mp3", CP_ACP, true},
        {L"Caf\u00E9.mp3", CP_ACP, true},
        {L"\u041F\u0435\u0441\u043D\u044F.mp3", 1252, false},
        {L"\u66F2.mp3", 1252, false},
        {L"\U0001F3B5.mp3", 1252, false},
        {L"Caf\u00E9.mp3", 1252, true},
        {L"\u041F\u0435\u0441\u043D\u044F.mp3", 1251, true},
    };
    for (const auto& c : cases) {
        const std::wstring path = root + c.name;
        SCOPED_TRACE(ConvertToUtf8(path) + " in code page " + std::to_string(c.codePage));
        ASSERT_TRUE(CopyFileW(ConvertToWide(CP_UTF8, 0, MediaPath("tone-440.mp3")).c_str(), path.c_str(), FALSE));
        wchar_t shortPath[MAX_PATH] = {};
        GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
        const bool hasShortName = path != shortPath;

        char reached[MAX_PATH * 3];
        const bool found = GetReachablePath(path.c_str(), reached, sizeof reached, c.codePage);
        if (c.exact) {
            ASSERT_TRUE(found);
            EXPECT_EQ(ConvertToWide(c.codePage, 0, std::string(reached)), path);
        } else if (!hasShortName) {
            EXPECT_FALSE(found);  // a volume without short names, as exFAT and new NTFS ones are
            EXPECT_STREQ(reached, "");
        } else {
            ASSERT_TRUE(found);
            EXPECT_EQ(ConvertToWide(c.codePage, 0, std::string(reached)), shortPath);
        }
    }
    RemoveTree(folder);
}

}  // namespace
