// Playlist files: the entries each format gives, what a saved list reads back as, and playlists
// through the command intake.
#include "intake/IntakeFixture.h"
#include "intake/PlaylistFile.h"

#include "components/ShortPath.h"
#include "components/WideText.h"
#include "metadata/TrackInfo.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

const std::string kCyrillicUtf8 = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE.ogg";
const std::string kCafe = "Caf\xC3\xA9.mp3";  // as the player's paths say it: in UTF-8, the ANSI code page

Paths Read(const std::string& playlist)
{
    Paths entries;
    EXPECT_TRUE(ReadPlaylistFile(playlist.c_str(), [&](const std::string& entry) { entries.push_back(entry); }));
    return entries;
}

class PlaylistFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryA((folder + "\\lists").c_str(), nullptr);
        cyrillic = ConvertToWide(CP_UTF8, 0, At(kCyrillicUtf8));
        HANDLE file = CreateFileW(cyrillic.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    void TearDown() override
    {
        DeleteFileW(cyrillic.c_str());  // under a legacy code page RemoveTree's ANSI calls cannot name it
        RemoveTree(folder);
    }
    // The Cyrillic file as the scanner reaches it: by its own name in UTF-8 (and, under a legacy
    // code page, by its short name or not at all).
    Paths CyrillicEntry() const
    {
        char path[MAX_PATH];
        return GetReachablePath(cyrillic.c_str(), path, sizeof path) ? Paths{path} : Paths{};
    }
    std::string At(const std::string& name) const { return folder + "\\" + name; }

    std::string folder = MakeTempFolder("playlist");
    std::wstring cyrillic;
};

// The user's legacy code page in the harness is 1252, where "Caf\xE9" is "Café".
TEST_F(PlaylistFileTest, EachFormatGivesItsEntriesResolvedInFileOrder)
{
    std::string url = "file:///" + folder + "/Caf%C3%A9.mp3";
    std::replace(url.begin(), url.end(), '\\', '/');
    const std::string rooted = folder.substr(2) + "\\c.flac";  // without the drive
    const std::string driveRelative = folder.substr(0, 2) + "x.mp3";
    Paths unicode = CyrillicEntry();
    unicode.insert(unicode.end(), {"\\\\server\\share\\x y.mp3", "\\\\server\\share\\z.mp3", At("c.flac")});
    const struct {
        const char* name;
        std::string text;
        Paths expected;
    } cases[] = {
        {"legacy.m3u",
         "#EXTM3U\r\n#EXTINF:12,Someone - Something\r\na.mp3\r\n  sub/b.ogg\t\r\n..\\Caf\xE9.mp3\r\n"
         "sub\\..\\..\\c.flac\r\n\r\n" +
             driveRelative + "\r\nhttp://example.com/x.mp3\r\nmissing.mp3",
         {At("lists\\a.mp3"), At("lists\\sub\\b.ogg"), At(kCafe), At("c.flac"), At("lists\\missing.mp3")}},
        {"with-bom.m3u",
         "\xEF\xBB\xBF..\\Caf\xC3\xA9.mp3\n" + rooted + "\n" + url + "\n..\\Caf\xE9.mp3\n",
         {At(kCafe), At("c.flac"), At(kCafe)}},
        {"unicode.m3u8",
         "..\\" + kCyrillicUtf8 +
             "\r\nfile://server/share/x%20y.mp3\r\n\\\\server\\share\\z.mp3\r\nhttps://example.com/a.mp3\r\n"
             "ftp://host/b.mp3\r\nCaf\xE9.mp3\r\n" +
             At("c.flac") + "\r\n",
         unicode},
        {"list.PLS",
         "[playlist]\r\nFile1=a.mp3\r\nTitle1=Not a path\r\nLength1=12\r\nfile2 = ..\\Caf\xE9.mp3\r\n"
         "FILE10=..\\Caf\xC3\xA9.mp3\r\nFile=..\\c.flac\r\nNumberOfEntries=3\r\nVersion=2\r\n",
         {At("lists\\a.mp3"), At(kCafe), At(kCafe)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string playlist = At("lists\\") + c.name;
        ASSERT_TRUE(WriteFileBytes(playlist, c.text.data(), c.text.size()));
        EXPECT_EQ(c.expected, Read(playlist));
    }
}

TEST_F(PlaylistFileTest, SavedPlaylistIsExtendedM3u8AndReadsBackAsTheSameList)
{
    const std::vector<PlaylistEntry> entries = {
        {At("a.mp3"), 183, L"Artist", L"Title"},
        {At("Caf\xC3\xA9.mp3"), -1, L"", L"Only a\r\ntitle"},
        {At(kCyrillicUtf8), 5, L"", L""},
        {At("b.ogg"), -1, L"", L""},
        {At("two\r\nlines.mp3"), 1, L"Left", L"Out"},
    };
    const std::string text = FormatM3u8Playlist(entries);
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:183,Artist - Title\r\n" + At("a.mp3") + "\r\n#EXTINF:-1,Only a  title\r\n" +
                  At("Caf\xC3\xA9.mp3") + "\r\n#EXTINF:5,\r\n" + At(kCyrillicUtf8) + "\r\n" + At("b.ogg") + "\r\n",
              text);

    const std::string saved = At("saved.m3u8");
    ASSERT_TRUE(WriteFileBytes(saved, text.data(), text.size()));
    Paths expected = CyrillicEntry();
    expected.insert(expected.begin(), {At("a.mp3"), At(kCafe)});
    expected.push_back(At("b.ogg"));
    EXPECT_EQ(expected, Read(saved));
}

Paths Listed()
{
    StateLock lock(stateLock);
    Paths names;
    for (int i = 0; i < scanner->GetNoOfFiles(); ++i) names.push_back(scanner->GetFileName(i));
    return names;
}

// An entry that is a folder is scanned as one; one that is missing, not music, or a playlist (this
// one itself) adds nothing.
TEST_F(IntakeTest, APlaylistFormsTheListInItsOrderAndPlaysItsFirstEntry)
{
    const std::string low = AddMedia("tone-440.mp3"), high = AddMedia("tone-770.flac");
    CreateDirectoryA((folder + "\\more").c_str(), nullptr);
    CopyFileA(MediaPath("tone-660.ogg").c_str(), (folder + "\\more\\x.ogg").c_str(), FALSE);
    ASSERT_TRUE(WriteFileBytes(folder + "\\notes.txt", "x", 1));
    const std::string text = "tone-770.flac\r\nmissing.mp3\r\nmore\r\nnotes.txt\r\nmix.m3u8\r\ntone-440.mp3\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + "\\mix.m3u8", text.data(), text.size()));

    Intake("\"" + folder + "\\mix.m3u8\"");
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ((Paths{high, folder + "\\more\\x.ogg", low}), Listed());
    StateLock lock(stateLock);
    ASSERT_NE(currentTrack, nullptr);
    EXPECT_EQ(high, currentTrack->path);
    EXPECT_NE(engine->ActiveSound, nullptr);
}

// A line of megabytes whose whole, or whose end, would name a file; binary garbage; playlists that
// name themselves and each other; thousands of missing entries. Only the good entries are added.
TEST_F(IntakeTest, PlaylistsMadeToHurtAddOnlyTheirMusicAndEndSoon)
{
    const std::string low = AddMedia("tone-440.mp3"), middle = AddMedia("tone-660.ogg");
    AddMedia("tone-770.flac");
    std::string garbage(1 << 20, '\0');
    unsigned seed = 12345;
    for (char& byte : garbage) byte = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    std::string missing;
    for (int i = 0; i < 5000; ++i) missing += "missing " + std::to_string(i) + ".mp3\r\n";
    const struct {
        const char* name;
        std::string text;
    } playlists[] = {
        {"long.m3u", "tone-440.mp3\n" + std::string(3 << 20, 'x') + "\\..\\tone-770.flac\ntone-660.ogg\n"},
        {"garbage.m3u", garbage + "\ntone-440.mp3\n"},
        {"self.pls", "[playlist]\nFile1=self.pls\nFile2=long.m3u\nFile3=tone-660.ogg\n"},
        {"missing.m3u8", missing + "tone-440.mp3"},
    };
    std::string command;
    for (const auto& playlist : playlists) {
        ASSERT_TRUE(WriteFileBytes(folder + "\\" + playlist.name, playlist.text.data(), playlist.text.size()));
        command += "\"" + folder + "\\" + playlist.name + "\" ";
    }
    Intake(command);
    ASSERT_TRUE(WaitForWorkerEnd(30000));
    EXPECT_EQ((Paths{low, middle, low, middle, low}), Listed());
}

}  // namespace
