// How the command text and the executable's folder are cut out of the process command line.
#include <gtest/gtest.h>

#include "app/Skin.h"
#include "app/Startup.h"
#include "components/WideText.h"
#include "support/TestSupport.h"

TEST(ProcessCommandLine, StartsBehindTheProgramNameAndItsBlanks)
{
    EXPECT_STREQ(CommandTextOf("Lumetra.exe a.mp3"), "a.mp3");
    EXPECT_STREQ(CommandTextOf("Lumetra.exe \t  \"C:\\a b\\x.mp3\"  "), "\"C:\\a b\\x.mp3\"  ");
    EXPECT_STREQ(CommandTextOf("Lumetra.exe"), "");
    EXPECT_STREQ(CommandTextOf("Lumetra.exe    "), "");
    EXPECT_STREQ(CommandTextOf(""), "");
    EXPECT_STREQ(CommandTextOf(nullptr), "");
}

TEST(ProcessCommandLine, QuotesKeepBlanksInsideTheProgramName)
{
    EXPECT_STREQ(CommandTextOf("\"C:\\Program Files\\Lumetra\\Lumetra.exe\" add_to_list x"), "add_to_list x");
    // Each quote switches quoting: the name runs on past a closing quote until a blank.
    EXPECT_STREQ(CommandTextOf("\"C:\\My Apps\"\\Lum\" \"etra.exe D:\\m"), "D:\\m");
    // An unclosed quote makes the whole line the program name.
    EXPECT_STREQ(CommandTextOf("\"C:\\a b\\Lumetra.exe x y"), "");
}

TEST(ProcessCommandLine, ControlCharactersEndTheNameLikeBlanks)
{
    EXPECT_STREQ(CommandTextOf("Lumetra.exe\x01\x1f x"), "x");
    EXPECT_STREQ(CommandTextOf("Lumetra.exe\tx"), "x");
}

TEST(ProcessCommandLine, DoubleByteCharactersTravelWhole)
{
    // In code page 932 0x81 is a lead byte: its trail byte is part of the name, whatever it is.
    EXPECT_STREQ(CommandTextOf("C:\\\x81\x40.exe a", 932), "a");
    // A lead byte at the very end takes no terminating zero along.
    EXPECT_STREQ(CommandTextOf("Lumetra\x81", 932), "");
    const char line[] = "Lum\x81";
    EXPECT_EQ(CommandTextOf(line, 932), line + 4);
}

// What Lumetra.exe "D:\Music\Песня.mp3" (a double-click in Explorer) gives the player, under the
// UTF-8 code page and under a legacy one (1252), where only a short path can say that name.
TEST(ProcessCommandLine, QuotedNamesTravelByAPathThatReachesTheirFile)
{
    const std::string folder = MakeTempFolder("command");
    const std::wstring song = ConvertToWide(CP_UTF8, 0, folder) + L"\\\u041F\u0435\u0441\u043D\u044F.mp3";
    ASSERT_TRUE(CopyFileW(ConvertToWide(CP_UTF8, 0, MediaPath("tone-440.mp3")).c_str(), song.c_str(), FALSE));
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW(song.c_str(), shortPath, MAX_PATH);
    const std::string shortSong = ConvertToUtf8(shortPath);  // ASCII, where the volume keeps short names
    const std::string line = "\"C:\\Lumetra.exe\" add_to_list \"";
    const struct {
        std::wstring commandLine;
        UINT codePage;
        std::string expected;
    } cases[] = {
        {L"\"C:\\Lumetra.exe\" add_to_list \"" + song + L"\"", CP_UTF8, line + ConvertToUtf8(song) + "\""},
        {L"\"C:\\Lumetra.exe\" add_to_list \"" + song + L"\"", 1252,
         line + (shortSong == ConvertToUtf8(song) ? folder + "\\?????.mp3" : shortSong) + "\""},
        // Neither a name that reaches no file nor text outside quotes is changed, '?' and all.
        {L"\"C:\\Lumetra.exe\" \"Z:\\no\\\u66F2.mp3\" Caf\u00E9 \"\u66F2", 1252,
         "\"C:\\Lumetra.exe\" \"Z:\\no\\?.mp3\" Caf\xE9 \"?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        EXPECT_EQ(ReachableCommandLine(c.commandLine.c_str(), c.codePage), c.expected);
    }
    RemoveTree(folder);
}

TEST(ExecutableFolder, ComesFromTheQuotedPathOfTheCommandLine)
{
    FindExecutableFolder(L"\"C:\\Program Files\\Lumetra\\Lumetra.exe\" \"D:\\x\\y.mp3\"");
    EXPECT_STREQ(executableFolder, L"C:\\Program Files\\Lumetra\\");
}

TEST(ExecutableFolder, FallsBackToTheModuleFileNameWithoutQuotes)
{
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    *(wcsrchr(module, L'\\') + 1) = L'\0';

    FindExecutableFolder(L"Lumetra.exe D:\\music");
    EXPECT_STREQ(executableFolder, module);
    FindExecutableFolder(L"\"Lumetra.exe\" D:\\music");  // quoted, but no folder in it
    EXPECT_STREQ(executableFolder, module);
    FindExecutableFolder(L"\"C:\\unclosed\\Lumetra.exe");
    EXPECT_STREQ(executableFolder, module);
}
