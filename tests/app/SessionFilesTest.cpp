// The session files: settings text read back tolerantly, the list streamed, files replaced whole.
#include <gtest/gtest.h>

#include <tuple>

#include "app/SessionFiles.h"
#include "components/WideText.h"
#include "support/TestSupport.h"

namespace {

using namespace std::string_literals;  // "..."s keeps the NULs inside a literal
using Entries = std::vector<std::string>;

auto Fields(const SessionSettings& s)
{
    return std::tie(s.volume, s.volumeBeforeMute, s.randomPlay, s.alwaysOnTop, s.hasWindowPlace, s.windowLeft,
                    s.windowTop, s.currentIndex, s.currentPath, s.positionMs);
}

class SessionFiles : public testing::Test {
protected:
    void TearDown() override { RemoveTree(folder); }
    std::wstring PathOf(const std::string& name) { return ConvertToWide(CP_UTF8, 0, folder + "\\" + name); }
    std::wstring Write(const std::string& name, const std::string& bytes)
    {
        EXPECT_TRUE(WriteFileBytes(folder + "\\" + name, bytes.data(), bytes.size()));
        return PathOf(name);
    }
    static Entries Read(const std::wstring& path, size_t maxEntries = 500000, size_t stopAfter = 0)
    {
        Entries entries;
        auto take = [&](const std::string& entry) { return entries.push_back(entry), entries.size() != stopAfter; };
        EXPECT_TRUE(ReadSessionList(path, take, maxEntries));
        return entries;
    }
    std::string folder = MakeTempFolder("session");
};

TEST(SessionSettingsText, ComesBackAsWrittenUpToEachLimit)
{
    const SessionSettings limits{
        0, 1, true, true, true, -100000, 100000, INT_MAX, "C:\\M\xC3\xBCsik\\\xF0\x9F\x8E\xB5 a=b.mp3", UINT32_MAX};
    for (const SessionSettings& settings : {SessionSettings(), limits})
        EXPECT_EQ(Fields(ParseSettings(FormatSettings(settings))), Fields(settings));
}

TEST(SessionSettingsText, DamagedTextReadsAsItsSoundPart)
{
    // Damaged text, and the clean text it must read as.
    const std::pair<std::string, std::string> cases[] = {
        {"\xEF\xBB\xBFvolume=7\nrandom=1\n current_index = 3 \n", "volume=7\r\nrandom=1\r\ncurrent_index=3\r\n"},
        {"volume=30\r\nwindow=12", "volume=30\r\n"},
        {"\0\xFF=\x01volume\0=9\nrandom=1\n\0\0"s, "random=1\r\n"},
        {"volume=99999999999999999999\nposition_ms=4294967296\nwindow=100001,5\ncurrent_index=2147483648", ""},
        {"volume=-1\nvolume_before_mute=0\ncurrent_index=-2\nrandom=2\nvolume=+5\nvolume=0x10\nvolume=", ""},
        {"volume 50\r\nrandom\r\n=1\r\nwindow=1;2\r\nvolume=5\r\r\n", ""},
        {"current_path=C:\\a\xC0\xAF.mp3", ""},
        {"current_path=C:\\a\0b.mp3"s, ""},
        {"current_path=C:\\x.mp3\ncurrent_path=C:\\\xED\xA0\x80.mp3\n", ""},
    };
    for (const auto& [damaged, clean] : cases)
        EXPECT_EQ(Fields(ParseSettings(damaged)), Fields(ParseSettings(clean))) << damaged;
}

TEST_F(SessionFiles, SettingsFileIsReadToItsFirst64KiBAndNoHalfLine)
{
    std::string text = "volume=7\r\n" + std::string(65536 - 20, '#') + "\r\nvolume=45\r\n";  // cut after "volume=4"
    EXPECT_EQ(Fields(ReadSettings(Write("settings.ini", text))), Fields(ParseSettings("volume=7")));
    EXPECT_EQ(Fields(ReadSettings(PathOf("missing.ini"))), Fields(SessionSettings()));
}

TEST_F(SessionFiles, ListGivesEachSoundEntryInOrder)
{
    std::string text = "\xEF\xBB\xBF#EXTM3U\r\n  C:\\a.mp3\t\r\n\r\n \t\n#EXTINF:1,x\nC:\\b.mp3\n" +
                       std::string(150000, 'x') + "\r\n" + std::string(4097, 'z') + "\r\n" + std::string(4096, 'y') +
                       "\r\nC:\\n\0l.mp3\r\nC:\\\xFF.mp3\nD:\\\xC3\x9C.flac\r\nE:\\last.ogg"s;
    const Entries expected = {"C:\\a.mp3", "C:\\b.mp3", std::string(4096, 'y'), "D:\\\xC3\x9C.flac", "E:\\last.ogg"};
    EXPECT_EQ(Read(Write("s.m3u8", text)), expected);
    EXPECT_FALSE(ReadSessionList(PathOf("missing.m3u8"), [](const std::string&) { return true; }));
}

TEST_F(SessionFiles, ListOfManyEntriesComesBackWholeAndStopsWhenAsked)
{
    Entries paths;
    for (int i = 0; i < 100000; ++i) paths.push_back("C:\\Music\\Album " + std::to_string(i) + "\\track.mp3");
    paths.push_back("C:\\broken\nline.mp3");  // would read back as two entries: not written
    std::wstring list = Write("s.m3u8", FormatSessionList(paths));
    paths.pop_back();
    EXPECT_EQ(Read(list), paths);
    EXPECT_EQ(Read(list, 3), Entries(paths.begin(), paths.begin() + 3));
    EXPECT_EQ(Read(list, 500000, 2), Entries(paths.begin(), paths.begin() + 2));
}

TEST_F(SessionFiles, WriteReplacesWholeCreatesFoldersAndLeavesNoTemporary)
{
    SetEnvironmentVariableW(L"APPDATA", (PathOf("roaming") + L"\\").c_str());  // not there yet
    std::wstring path = SettingsFilePath();
    EXPECT_EQ(path, PathOf("roaming\\Lumetra\\settings.ini"));
    for (const char* bytes : {"first, longer content", "second"}) {
        ASSERT_TRUE(WriteFileWhole(path, bytes));
        EXPECT_EQ(Read(path), Entries{bytes}) << "no tail of the longer content";
    }
    // Held open without delete sharing, the file cannot be replaced: it stays, the temporary goes.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(WriteFileWhole(path, "third"));
    CloseHandle(held);
    EXPECT_EQ(Read(path), Entries{"second"});
    EXPECT_EQ(GetFileAttributesW((path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
