// Tests of FolderScanner: order, recursion, filters, odd paths, scale and concurrent readers.
#include "components/FolderScanner.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

namespace {

void Touch(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    CloseHandle(file);
}

class FolderScannerTest : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeTempFolder("scan");
        for (const char* extension : {"mp3", "ogg", "flac"}) scanner.AddFilter(extension);
    }
    void TearDown() override { RemoveTree(folder); }

    void MakeFolder(const std::string& relative) { CreateDirectoryA((folder + "\\" + relative).c_str(), nullptr); }
    void MakeFile(const std::string& relative) { Touch(folder + "\\" + relative); }

    // The list, relative to the test folder.
    std::vector<std::string> Listed() {
        std::vector<std::string> names;
        for (int i = 0; i < scanner.GetNoOfFiles(); ++i) {
            std::string name = scanner.GetFileName(i);
            names.push_back(name.compare(0, folder.size() + 1, folder + "\\") == 0 ? name.substr(folder.size() + 1)
                                                                                   : name);
        }
        return names;
    }

    std::string folder;
    FolderScanner scanner;
};

using Names = std::vector<std::string>;

TEST_F(FolderScannerTest, ListsAFolderInExplorerNameOrder) {
    for (const char* name : {"Track 10.mp3", "track 2.mp3", "Track 1.MP3", "b.flac", "A.ogg", "Track 02b.mp3",
                             "notes.txt", "cover.jpg", "mp3", "song.mp3.txt"}) {
        MakeFile(name);
    }
    EXPECT_TRUE(scanner.Scan(folder.c_str()));
    EXPECT_EQ((Names{"A.ogg", "b.flac", "Track 1.MP3", "track 2.mp3", "Track 02b.mp3", "Track 10.mp3"}), Listed());
}

TEST_F(FolderScannerTest, OwnFilesComeBeforeSubfoldersWhichFollowDepthFirst) {
    MakeFolder("Disc 10");
    MakeFolder("Disc 2");
    MakeFolder("Disc 2\\Bonus");
    MakeFolder("Empty");
    MakeFile("Disc 10\\1.mp3");
    MakeFile("Disc 2\\Bonus\\x.mp3");
    MakeFile("Disc 2\\y.ogg");
    MakeFile("Disc 2\\1.mp3");
    MakeFile("z.mp3");
    EXPECT_TRUE(scanner.Scan(folder.c_str()));
    EXPECT_EQ((Names{"z.mp3", "Disc 2\\1.mp3", "Disc 2\\y.ogg", "Disc 2\\Bonus\\x.mp3", "Disc 10\\1.mp3"}), Listed());
}

TEST_F(FolderScannerTest, FiltersMatchInAnyLetterCase) {
    FolderScanner upper;
    upper.AddFilter("MP3");
    MakeFile("a.mp3");
    MakeFile("b.Mp3");
    MakeFile("c.ogg");
    upper.Scan(folder.c_str());
    EXPECT_EQ(2, upper.GetNoOfFiles());
}

TEST_F(FolderScannerTest, NoFilterListsNothing) {
    FolderScanner bare;
    MakeFile("a.mp3");
    EXPECT_FALSE(bare.Scan(folder.c_str()));
    EXPECT_EQ(0, bare.GetNoOfFiles());
}

TEST_F(FolderScannerTest, APathToOneFileAppendsOnlyASupportedFile) {
    MakeFile("one.flac");
    MakeFile("readme.txt");
    EXPECT_TRUE(scanner.Scan((folder + "\\one.flac").c_str()));
    EXPECT_FALSE(scanner.Scan((folder + "\\readme.txt").c_str()));
    EXPECT_EQ((Names{"one.flac"}), Listed());
}

TEST_F(FolderScannerTest, ATrailingBackslashNamesTheFolder) {
    MakeFile("a.mp3");
    EXPECT_TRUE(scanner.Scan((folder + "\\").c_str()));
    EXPECT_TRUE(scanner.Scan((folder + "\\\\").c_str()));
    EXPECT_EQ((Names{"a.mp3", "a.mp3"}), Listed());
}

TEST_F(FolderScannerTest, PathsThatNameNothingAppendNothing) {
    MakeFile("a.mp3");
    EXPECT_FALSE(scanner.Scan(nullptr));
    EXPECT_FALSE(scanner.Scan(""));
    EXPECT_FALSE(scanner.Scan((folder + "\\missing").c_str()));
    EXPECT_FALSE(scanner.Scan((folder + "\\missing\\a.mp3").c_str()));
    EXPECT_EQ(0, scanner.GetNoOfFiles());
}

TEST_F(FolderScannerTest, LaterScansAppendAndEarlierNamesStayPut) {
    MakeFile("a.mp3");
    MakeFolder("more");
    MakeFile("more\\b.mp3");
    scanner.Scan((folder + "\\a.mp3").c_str());
    const char* first = scanner.GetFileName(0);
    ASSERT_NE(nullptr, first);
    scanner.Scan(folder.c_str());
    EXPECT_EQ(first, scanner.GetFileName(0));
    EXPECT_EQ((Names{"a.mp3", "a.mp3", "more\\b.mp3"}), Listed());
}

TEST_F(FolderScannerTest, IndexesOutsideTheListGiveNull) {
    EXPECT_EQ(nullptr, scanner.GetFileName(0));
    MakeFile("a.mp3");
    scanner.Scan(folder.c_str());
    EXPECT_NE(nullptr, scanner.GetFileName(0));
    EXPECT_EQ(nullptr, scanner.GetFileName(1));
    EXPECT_EQ(nullptr, scanner.GetFileName(-1));
    EXPECT_EQ(nullptr, scanner.GetFileName(INT_MAX));
    EXPECT_EQ(nullptr, scanner.GetFileName(INT_MIN));
}

TEST_F(FolderScannerTest, CleanMemoryEmptiesTheListAndKeepsTheFilters) {
    MakeFile("a.mp3");
    MakeFile("b.txt");
    scanner.Scan(folder.c_str());
    scanner.CleanMemory();
    EXPECT_EQ(0, scanner.GetNoOfFiles());
    EXPECT_EQ(nullptr, scanner.GetFileName(0));
    scanner.Scan(folder.c_str());
    EXPECT_EQ((Names{"a.mp3"}), Listed());
}

bool IsFolderLink(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Wine 8 answers CreateSymbolicLink with success but makes nothing, and cannot set reparse points;
// it does show a unix symbolic link as a folder reparse point. So under Wine the link is made (and
// removed) by the unix tools, which Wine starts like Windows programs (its handle of such a
// process does not tell when the tool is done: callers wait for the result instead).
bool StartUnixTool(const std::string& command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::string UnixPath(const std::string& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return "";
    std::wstring wide(path.begin(), path.end());
    char* unixPath = toUnix(wide.c_str());
    if (!unixPath) return "";
    std::string result(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

bool MakeFolderLink(const std::string& link, const std::string& target) {
    if (CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) && IsFolderLink(link)) {
        return true;
    }
    std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    return !unixLink.empty() && !unixTarget.empty() &&
           StartUnixTool("Z:\\bin\\ln -s \"" + unixTarget + "\" \"" + unixLink + "\"") &&
           WaitFor([&] { return IsFolderLink(link); }, 10000);
}

bool RemoveFolderLink(const std::string& link) {
    if (RemoveDirectoryA(link.c_str()) || !IsFolderLink(link)) return true;
    return StartUnixTool("Z:\\bin\\rm \"" + UnixPath(link) + "\"") &&
           WaitFor([&] { return !IsFolderLink(link); }, 10000);
}

TEST_F(FolderScannerTest, LinkedFoldersAreNotFollowed) {
    MakeFile("a.mp3");
    MakeFolder("sub");
    std::string link = folder + "\\sub\\loop";
    if (!MakeFolderLink(link, folder)) GTEST_SKIP() << "no folder links here";
    scanner.Scan(folder.c_str());
    ASSERT_TRUE(RemoveFolderLink(link)) << "the link is left behind";
    EXPECT_EQ((Names{"a.mp3"}), Listed());
}

// A tree of 2,000 files, scanned fifty times over for a list of 100,000. Wine makes each new file
// cost a look through its whole folder, hence small folders and a tree used again.
class LargeTreeTest : public testing::Test {
protected:
    static constexpr int kFolders = 40;
    static constexpr int kFilesPerFolder = 50;
    static constexpr int kTreeFiles = kFolders * kFilesPerFolder;
    static constexpr int kRounds = 50;
    static constexpr int kFiles = kTreeFiles * kRounds;

    static void SetUpTestSuite() {
        root = MakeTempFolder("large");
        for (int d = 1; d <= kFolders; ++d) {
            std::string disc = root + "\\Disc " + std::to_string(d);
            CreateDirectoryA(disc.c_str(), nullptr);
            for (int t = kFilesPerFolder; t >= 1; --t) Touch(disc + "\\Track " + std::to_string(t) + ".mp3");
        }
    }
    static void TearDownTestSuite() { RemoveTree(root); }

    void SetUp() override { scanner.AddFilter("mp3"); }

    void ScanRounds(int rounds) {
        for (int round = 0; round < rounds; ++round) scanner.Scan(root.c_str());
    }

    static std::string ExpectedName(int index) {
        int inTree = index % kTreeFiles;
        return root + "\\Disc " + std::to_string(inTree / kFilesPerFolder + 1) + "\\Track " +
               std::to_string(inTree % kFilesPerFolder + 1) + ".mp3";
    }

    static std::string root;
    FolderScanner scanner;
};

std::string LargeTreeTest::root;

// Processor time of this thread in ms: unlike the clock, it does not grow with the machine's load.
unsigned ThreadMs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    ULONGLONG total = (ULONGLONG(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                      (ULONGLONG(user.dwHighDateTime) << 32 | user.dwLowDateTime);
    return unsigned(total / 10000);
}

TEST_F(LargeTreeTest, HundredThousandFilesAreListedInOrderQuickly) {
    unsigned start = ThreadMs();
    ScanRounds(kRounds);
    unsigned elapsed = ThreadMs() - start;
    ASSERT_EQ(kFiles, scanner.GetNoOfFiles());
    int wrong = 0;
    for (int i = 0; i < kFiles; ++i) {
        if (ExpectedName(i) != scanner.GetFileName(i) && ++wrong <= 3) {
            ADD_FAILURE() << i << ": " << scanner.GetFileName(i);
        }
    }
    EXPECT_EQ(0, wrong);
    // Far more than a linear scan needs, far less than a quadratic one would take.
    EXPECT_LT(elapsed, 20000u);
}

TEST_F(LargeTreeTest, ReadersSeeOnlyCompleteEntriesWhileAScanAppends) {
    std::atomic<bool> readerRunning{false}, scanDone{false};
    std::atomic<int> faults{0}, partialCounts{0};

    std::thread reader([&] {
        readerRunning = true;
        int lastCount = 0;
        const char* firstName = nullptr;
        while (!scanDone) {
            int count = scanner.GetNoOfFiles();
            if (count < lastCount) ++faults;
            if (count > 0 && count < kFiles / 5) ++partialCounts;
            lastCount = count;
            if (count == 0) continue;
            // Every counted entry is complete, and an index always names the same file.
            for (int index : {0, count / 2, count - 1}) {
                const char* name = scanner.GetFileName(index);
                if (!name || ExpectedName(index) != name) ++faults;
            }
            // The first entry keeps its place while the list grows.
            const char* name = scanner.GetFileName(0);
            if (!firstName) firstName = name;
            if (name != firstName) ++faults;
        }
    });
    EXPECT_TRUE(WaitFor([&] { return readerRunning.load(); }, 5000));
    ScanRounds(kRounds / 5);
    scanDone = true;
    reader.join();

    EXPECT_EQ(kFiles / 5, scanner.GetNoOfFiles());
    EXPECT_EQ(0, faults.load());
    EXPECT_GT(partialCounts.load(), 0) << "the reader never ran during the scan";
}

}  // namespace
