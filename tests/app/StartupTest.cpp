// How the command text and the executable's folder are cut out of the process command line.
#include <gtest/gtest.h>

#include "app/Skin.h"
#include "app/Startup.h"

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
