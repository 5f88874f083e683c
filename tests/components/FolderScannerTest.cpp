// Tests of FolderScanner: order, recursion, filters, odd paths, scale and concurrent readers.
#include "components/FolderScanner.h"
#include "components/ShortPath.h"
#include "components/WideText.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

namespace {

using Names = std::vector<std::string>;

void Touch(const std::string& path)
{
    EXPECT_TRUE(WriteFileBytes(path, "", 0)) << path;
}

class FolderScannerTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* extension : {"mp3", "OGG", "Flac"}) scanner.AddFilter(extension);  // any case matches
    }
    void TearDown() override { RemoveTree(folder); }

    // Makes the files, and the folders named with a trailing backslash, relative to the test folder.
    void Make(const Names& names)
    {
        for (const std::string& name : names) {
            if (name.back() == '\\')
                CreateDirectoryA((folder + "\\" + name).c_str(), nullptr);
            else
                Touch(folder + "\\" + name);
        }
    }
    // The list, relative to the test folder.
    Names Listed()
    {
        Names names;
        for (int i = 0; i < scanner.GetNoOfFiles(); ++i) names.push_back(scanner.GetFileName(i) + folder.size() + 1);
        return names;
    }

    std::string folder = MakeTempFolder("scan");
    FolderScanner scanner;
};

TEST_F(FolderScannerTest, ListsOwnMatchingFilesInNaturalOrderThenEachSubfolderTheSameWay)
{
    Make({"Track 10.mp3", "track 2.mp3", "Track 1.MP3", "Track 02b.mp3", "b.flac", "A.ogg", "notes.txt", "mp3",
          "song.mp3.txt", "Disc 10\\", "Disc 2\\", "Disc 2\\Bonus\\", "Empty\\", "Disc 10\\1.mp3",
          "Disc 2\\Bonus\\x.mp3", "Disc 2\\y.ogg", "Disc 2\\1.mp3"});
    EXPECT_TRUE(scanner.Scan(folder.c_str()));
    EXPECT_EQ((Names{"A.ogg", "b.flac", "Track 1.MP3", "track 2.mp3", "Track 02b.mp3", "Track 10.mp3", "Disc 2\\1.mp3",
                     "Disc 2\\y.ogg", "Disc 2\\Bonus\\x.mp3", "Disc 10\\1.mp3"}),
              Listed());
}

TEST_F(FolderScannerTest, EachScanAppendsWhatItsPathNames)
{
    Make({"one.flac", "readme.txt"});
    EXPECT_TRUE(scanner.Scan((folder + "\\one.flac").c_str()));
    EXPECT_FALSE(scanner.Scan((folder + "\\readme.txt").c_str()));
    EXPECT_TRUE(scanner.Scan((folder + "\\").c_str()));
    for (const std::string& nothing : {std::string(), folder + "\\missing", folder + "\\missing\\one.flac"}) {
        EXPECT_FALSE(scanner.Scan(nothing.c_str())) << nothing;
    }
    EXPECT_FALSE(scanner.Scan(nullptr));
    EXPECT_EQ((Names{"one.flac", "one.flac"}), Listed());
}

TEST_F(FolderScannerTest, IndexesOutsideTheListGiveNullAndCleanMemoryKeepsTheFilters)
{
    Make({"a.mp3", "b.txt"});
    scanner.Scan(folder.c_str());
    for (int outside : {-1, 1, INT_MAX, INT_MIN}) EXPECT_EQ(nullptr, scanner.GetFileName(outside)) << outside;
    scanner.CleanMemory();
    EXPECT_EQ(0, scanner.GetNoOfFiles());
    EXPECT_EQ(nullptr, scanner.GetFileName(0));
    scanner.Scan(folder.c_str());
    EXPECT_EQ((Names{"a.mp3"}), Listed());
}

// Forty folders of fifty files scanned fifty times over, read meanwhile by another thread. Wine
// makes each new file cost a look through its whole folder, hence small folders and rounds.
TEST_F(FolderScannerTest, HundredThousandFilesListInOrderWhileAnotherThreadReads)
{
    const int kFiles = 100000;
    for (int d = 40; d >= 1; --d) {  // made backwards: the order must come from the scanner
        const std::string disc = folder + "\\Disc " + std::to_string(d);
        CreateDirectoryA(disc.c_str(), nullptr);
        for (int t = 50; t >= 1; --t) Touch(disc + "\\Track " + std::to_string(t) + ".mp3");
    }
    auto expectedName = [&](int i) {
        return folder + "\\Disc " + std::to_string(i % 2000 / 50 + 1) + "\\Track " + std::to_string(i % 50 + 1) +
               ".mp3";
    };
    std::atomic<bool> done{false};
    std::atomic<int> faults{0}, partialReads{0};
    std::thread reader([&] {
        // The count never falls, every entry it counts is complete and the first name stays put.
        const char* first = nullptr;
        for (int lastCount = 0, count = 0; !done; lastCount = count) {
            count = scanner.GetNoOfFiles();
            if (count == 0) continue;
            const char* last = scanner.GetFileName(count - 1);
            if (count < lastCount || last == nullptr || expectedName(count - 1) != last) ++faults;
            if (first == nullptr) first = scanner.GetFileName(0);
            if (scanner.GetFileName(0) != first) ++faults;
            partialReads += count < kFiles;
        }
    });
    for (int round = 0; round < 50; ++round) scanner.Scan(folder.c_str());
    done = true;
    reader.join();
    ASSERT_EQ(kFiles, scanner.GetNoOfFiles());
    int wrong = 0;
    for (int i = 0; i < kFiles; ++i) wrong += expectedName(i) != scanner.GetFileName(i);
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(0, faults.load());
    EXPECT_GT(partialReads.load(), 0) << "the reader never ran during the scan";
}

// A name the ANSI code page cannot say is reached by its short name, which every ANSI call opens;
// the tests run in UTF-8, which says every name, so here each is listed by its own.
TEST_F(FolderScannerTest, NamesOutsideTheCodePageAreListedByTheirShortNamesAndMatchedByTheirLongOnes)
{
    std::wstring root(folder.begin(), folder.end());
    const std::vector<std::wstring> made = {L"Caf\u00E9.mp3", L"\u041A\u0438\u043D\u043E.mp3",
                                            L"\u65E5\u672C\u8A9E.flac", L"\u041F\u0430\u043F\u043A\u0430\\x.ogg"};
    ASSERT_TRUE(CreateDirectoryW((root + L"\\\u041F\u0430\u043F\u043A\u0430").c_str(), nullptr));
    for (const std::wstring& name : made) {
        HANDLE file = CreateFileW((root + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    wchar_t probe[MAX_PATH] = {};
    GetShortPathNameW((root + L"\\" + made[2]).c_str(), probe, MAX_PATH);
    if (wcscmp(PathFindFileNameW(probe), made[2].c_str()) == 0) GTEST_SKIP() << "this volume keeps no short names";

    ASSERT_TRUE(scanner.Scan(folder.c_str()));
    ASSERT_EQ(4, scanner.GetNoOfFiles());
    std::vector<std::wstring> shown;  // each file's name as the player shows it
    for (int i = 0; i < 4; ++i) {
        const char* path = scanner.GetFileName(i);
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path)) << path;
        wchar_t name[256] = {};
        if (!GetLongNameOfShortPath(path, name, 256)) ConvertToWide(CP_ACP, 0, PathFindFileNameA(path), name, 256);
        shown.push_back(name);
    }
    EXPECT_EQ(L"x.ogg", shown.back());  // the subfolder, itself reached by its short name, comes last
    std::sort(shown.begin(), shown.end());
    std::vector<std::wstring> expected = {made[0], made[1], made[2], L"x.ogg"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, shown);
}

TEST(FolderScannerLinks, OnlyLinksAndJunctionsAreNotFollowed)
{
    struct Case {
        DWORD attributes;
        DWORD tag;
        bool followed;
    } cases[] = {
        {FILE_ATTRIBUTE_DIRECTORY, 0, true},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK, false},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT, false},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0xA000001D, false},  // a WSL link
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0x9000001A, true},   // cloud placeholder
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0x9000701A, true},   // cloud, another provider
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0x80000013, true},   // deduplicated
    };
    for (const Case& c : cases) EXPECT_EQ(c.followed, IsFollowedFolder(c.attributes, c.tag)) << std::hex << c.tag;
}

}  // namespace
