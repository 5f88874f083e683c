// The command intake: replacing and appending to the list, starting playback, the outcome dialogs.
#include "intake/IntakeFixture.h"

#include "metadata/TrackInfo.h"
#include "playback/StartWorker.h"
#include "playback/Transport.h"
#include "support/TagWriter.h"

#include <commctrl.h>
#include <shlobj.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

int Count()
{
    StateLock lock(stateLock);
    return scanner->GetNoOfFiles();
}

PlaybackSound* Active()
{
    StateLock lock(stateLock);
    return engine->ActiveSound;
}

}  // namespace

TEST_F(IntakeTest, ReplaceScansTheFolderAndPlaysItsFirstFile)
{
    AddMedia("tone-660.ogg");
    AddMedia("tone-440.mp3");
    AddMedia("tone-770.flac");
    idle = true;
    Intake("\"" + folder + "\"");
    ASSERT_TRUE(WaitFor([] { return Active() != nullptr && !intakeActive; }, 30000));
    EXPECT_EQ(Count(), 3);
    EXPECT_FALSE(idle);
    EXPECT_EQ(currentIndex, 0);
    {
        StateLock lock(stateLock);
        ASSERT_NE(currentTrack, nullptr);
        EXPECT_STREQ(currentTrack->path, scanner->GetFileName(0));
    }
    // The button changes when the window thread takes the start's message, which may come after.
    EXPECT_TRUE(WaitFor(
        [] {
            StateLock lock(stateLock);
            return playPauseButton == pauseButton;
        },
        30000));
    EXPECT_TRUE(WaitFor(
        [&] {
            char title[64] = {};
            GetWindowTextA(window, title, sizeof title);
            return strcmp(title, "Orvandel's Lumetra") == 0 &&
                   (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        },
        30000));
    EXPECT_TRUE(TakeDialog(500).empty());
}

TEST_F(IntakeTest, AppendKeepsTheSoundPlaying)
{
    Intake("\"" + AddMedia("tone-440.mp3") + "\"");
    ASSERT_TRUE(WaitFor([] { return Active() != nullptr && !scanning; }, 30000));
    PlaybackSound* playing = Active();

    Intake("add_to_list \"" + AddMedia("tone-660.ogg") + "\" \"" + AddMedia("tone-770.flac") + "\"");
    ASSERT_TRUE(WaitFor([] { return Count() == 3; }, 30000));
    ASSERT_TRUE(WaitForIntakeEnd());
    EXPECT_EQ(Active(), playing);
    StateLock lock(stateLock);
    EXPECT_FALSE(playing->QueryPaused());
    EXPECT_FALSE(playing->HasEnded());
    EXPECT_TRUE(TakeDialog(500).empty());
}

TEST_F(IntakeTest, ReplaceLetsTheOldSoundAndListGoBeforeScanning)
{
    Intake("\"" + AddMedia("tone-440.mp3") + "\"");
    ASSERT_TRUE(WaitFor([] { return Active() != nullptr && !scanning; }, 30000));
    playlistVisible = true;
    playlistBuilt = true;
    currentIndex = 0;

    Intake("play \"Z:\\no such folder\"");
    std::vector<std::wstring> texts = TakeDialog();
    EXPECT_TRUE(HasText(texts, L"Can't play given file(s)"));
    EXPECT_EQ(Active(), nullptr);
    EXPECT_EQ(Count(), 0);
    EXPECT_TRUE(idle);
    EXPECT_FALSE(playlistVisible);
    EXPECT_FALSE(playlistBuilt);
}

namespace {

struct ScanSeen {
    bool scanTitle = false;
    bool noDrops = false;
};

LRESULT CALLBACK WatchTheScan(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    ScanSeen& seen = *reinterpret_cast<ScanSeen*>(data);
    if (message == WM_SETTEXT && lParam)
        seen.scanTitle |= strncmp(reinterpret_cast<const char*>(lParam), "Scanning for music files", 24) == 0;
    if (message == WM_STYLECHANGED && wParam == static_cast<WPARAM>(GWL_EXSTYLE) && scanning)
        seen.noDrops |= !(reinterpret_cast<const STYLESTRUCT*>(lParam)->styleNew & WS_EX_ACCEPTFILES);
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

TEST_F(IntakeTest, TheWindowShowsTheScanAndComesBackAfterIt)
{
    // Enough files that the scan lasts a while.
    for (int i = 0; i < 1500; ++i) {
        std::string path = folder + "\\f" + std::to_string(i) + ".txt";
        WriteFileBytes(path, "x", 1);
    }
    AddMedia("tone-440.mp3");
    ScanSeen seen;  // as the window receives them, so a quick scan cannot slip between two looks
    ASSERT_TRUE(SetWindowSubclass(window, WatchTheScan, 1, reinterpret_cast<DWORD_PTR>(&seen)));
    Intake("\"" + folder + "\"");
    WaitFor([&] { return seen.scanTitle && seen.noDrops; }, 30000);
    RemoveWindowSubclass(window, WatchTheScan, 1);
    const bool sawScanTitle = seen.scanTitle, sawNoDrops = seen.noDrops;
    EXPECT_TRUE(sawScanTitle);
    EXPECT_TRUE(sawNoDrops);
    // The worker clears the gate first, then gives back drops and the title.
    EXPECT_TRUE(WaitFor(
        [&] {
            char title[64] = {};
            GetWindowTextA(window, title, sizeof title);
            return !scanning && strcmp(title, "Orvandel's Lumetra") == 0 &&
                   (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        },
        30000));
}

TEST_F(IntakeTest, AppendToAnEmptyListThatFindsNothingCannotAdd)
{
    Intake("add_to_list \"Z:\\no such file.mp3\"");
    std::vector<std::wstring> texts = TakeDialog();
    EXPECT_TRUE(HasText(texts, L"Can't add file(s) to list"));
    EXPECT_TRUE(HasText(texts, L"Given file(s) or folder(s) doesn't contain any supported music file(s)"));
}

TEST_F(IntakeTest, AppendInCapitalsThatAddsNothingToAListCannotAdd)
{
    Intake("\"" + AddMedia("tone-440.mp3") + "\" \"" + AddMedia("tone-660.ogg") + "\" \"" + AddMedia("tone-770.flac") +
           "\"");
    ASSERT_TRUE(WaitFor([] { return Count() == 3 && !scanning; }, 30000));
    std::string wave = folder + "\\sound.wav";
    WriteFileBytes(wave, "RIFF", 4);

    Intake("ADD_TO_LIST \"" + wave + "\"");
    std::vector<std::wstring> texts = TakeDialog();
    EXPECT_TRUE(HasText(texts, L"Can't add file(s) to list"));
    EXPECT_EQ(Count(), 3);
    EXPECT_NE(Active(), nullptr);  // appending never stops what plays

    Intake("add_to_list    ");  // nothing to scan at all
    EXPECT_TRUE(HasText(TakeDialog(), L"Can't add file(s) to list"));
}

TEST_F(IntakeTest, AppendThatAddsFilesShowsNothing)
{
    Intake("add_to_list \"" + AddMedia("tone-440.mp3") + "\"");
    ASSERT_TRUE(WaitFor([] { return Count() == 1 && !scanning; }, 30000));
    EXPECT_TRUE(TakeDialog(500).empty());
    EXPECT_TRUE(WaitFor([] { return Active() != nullptr; }, 30000));  // nothing was loaded: it starts
}

TEST_F(IntakeTest, NothingToPlayDialogExpandsToTheSupportedFiles)
{
    Intake("\"Z:\\no such folder\"");
    HWND dialog = WaitForDialog(ExecutableFileName().c_str(), 30000);
    ASSERT_NE(dialog, nullptr);
    HWND toggle = WaitForControl(dialog, L"Show supported files list", 30000);
    ASSERT_NE(toggle, nullptr);
    SendMessageW(toggle, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return HasText(DialogTexts(dialog), L"Hide supported files list"); }, 30000));
    std::vector<std::wstring> texts = DialogTexts(dialog);
    EXPECT_TRUE(HasText(texts, L"Supported music files are:\n> MPEG-1 Layer-3(*.mp3),\n> Ogg Vorbis(*.ogg),\n"
                               L"> Free Loseless Audio Codec(*.flac)"));
    CloseDialog(dialog);
}

TEST_F(IntakeTest, EachWorkerKeepsItsOwnText)
{
    // A second text while the first intake runs is dropped and leaves the first one's text alone;
    // once that intake has ended, the next text starts its own.
    std::string first = "add_to_list \"" + AddMedia("tone-440.mp3") + "\"";
    std::string second = "add_to_list \"" + AddMedia("tone-660.ogg") + "\"";
    Intake(first);
    EXPECT_FALSE(StartCommandIntake(window, second.c_str(), second.size()));
    EXPECT_STREQ(commandText, first.c_str());
    Intake(second);
    EXPECT_STREQ(commandText, second.c_str());
    ASSERT_TRUE(WaitFor([] { return Count() == 2 && !intakeActive; }, 30000));
    EXPECT_TRUE(TakeDialog(500).empty());
}

// Forwards as several launches at once send them: the second arrives before the first worker has
// even set `scanning`. Only the first may run, and the window must come back every time.
TEST_F(IntakeTest, ForwardsAtTheSameMomentNeverRunTwoIntakes)
{
    std::string replace = "\"" + AddMedia("tone-440.mp3") + "\"";
    std::string append = "add_to_list \"" + AddMedia("tone-660.ogg") + "\"";
    auto forward = [&](const std::string& text) {
        COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
        SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(WaitForWorkerEnd());
        forward(replace);
        forward(append);
        ASSERT_TRUE(WaitForWorkerEnd());
        EXPECT_EQ(Count(), 1);
        char title[64] = {};
        GetWindowTextA(window, title, sizeof title);
        EXPECT_STREQ(title, "Orvandel's Lumetra");
        EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    }
}

namespace {

// A drop handle as the shell makes it, naming one ANSI path.
HDROP MakeDrop(const std::string& path)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + path.size() + 2);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(), path.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

}  // namespace

TEST_F(IntakeTest, ADropWhileAnIntakeRunsIsRefusedAndReleased)
{
    Intake("\"" + AddMedia("tone-440.mp3") + "\"");
    ASSERT_TRUE(WaitFor([] { return Active() != nullptr; }, 30000));
    PlaybackSound* playing = Active();
    ASSERT_TRUE(WaitForWorkerEnd());
    {
        StateLock lock(stateLock);  // holds the next intake's worker at its first step
        Intake("add_to_list \"" + AddMedia("tone-660.ogg") + "\"");
        HDROP drop = MakeDrop(AddMedia("tone-770.flac"));
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_EQ(GlobalFlags(drop), static_cast<UINT>(GMEM_INVALID_HANDLE));  // DragFinish freed it
    }
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Active(), playing);  // the refused drop stopped nothing
}

// A command line holds at most 32,767 characters; what a sender claims about its size is not trusted.
TEST_F(IntakeTest, ForwardedTextIsBoundedByACommandLine)
{
    std::string longest = "add_to_list" + std::string(32767 - 11, ' ');
    std::string tooLong = longest + " ";
    const char shortText[] = "add_to_list  ";
    struct Case {
        const char* name;
        const char* text;
        size_t claimed;
        bool started;
    } cases[] = {
        {"longest", longest.c_str(), longest.size() + 1, true},
        {"one too long", tooLong.c_str(), tooLong.size() + 1, false},
        {"short text, huge claim", shortText, SIZE_MAX - 1, true},
        {"short text, 4 GB claim", shortText, 0xFFFFFFFFu, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WaitForWorkerEnd());
        EXPECT_EQ(StartCommandIntake(window, c.text, c.claimed), c.started);
        if (c.started) {
            EXPECT_EQ(strlen(commandText), strlen(c.text));
            EXPECT_TRUE(HasText(TakeDialog(30000), L"Can't add file(s) to list"));
        }
    }
    COPYDATASTRUCT data = {0, static_cast<DWORD>(tooLong.size() + 1), const_cast<char*>(tooLong.c_str())};
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    EXPECT_FALSE(intakeActive);
}

TEST_F(IntakeTest, AFileThatDoesNotStartGivesWayToTheNextOnce)
{
    // Files that are not what their names say come first in the folder.
    CopyFileA(MediaPath("truncated.ogg").c_str(), (folder + "\\1 broken.ogg").c_str(), FALSE);
    CopyFileA(MediaPath("truncated.flac").c_str(), (folder + "\\2 broken.flac").c_str(), FALSE);
    CopyFileA(MediaPath("tone-440.mp3").c_str(), (folder + "\\3 good.mp3").c_str(), FALSE);
    Intake("\"" + folder + "\"");
    ASSERT_TRUE(WaitFor([] { return Active() != nullptr && !intakeActive; }, 30000));
    EXPECT_EQ(currentIndex, 2);
    EXPECT_FALSE(idle);

    // A list where nothing starts is tried once around and then left alone.
    std::string none = folder + "\\none";
    CreateDirectoryA(none.c_str(), nullptr);
    CopyFileA(MediaPath("truncated.ogg").c_str(), (none + "\\a.ogg").c_str(), FALSE);
    CopyFileA(MediaPath("truncated.flac").c_str(), (none + "\\b.flac").c_str(), FALSE);
    Intake("\"" + none + "\"");
    ASSERT_TRUE(WaitForWorkerEnd());
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Active(), nullptr);
    EXPECT_TRUE(idle);
}

// A folder of files made to hurt: a 20000 x 20000 cover, a frame claiming 4 GB compressed, an
// endless UTF-16 list, files that are empty, only a magic number, cut short or not audio at all.
// Each is started in turn; the player stays up, ends on the good file, and stays under 256 MB.
TEST_F(IntakeTest, AFolderOfFilesMadeToHurtIsPlayedThroughWithinBoundedMemory)
{
    const char* media[] = {"tags\\huge-cover.mp3", "empty.mp3",     "random.mp3",    "text.mp3",
                           "truncated.mp3",        "truncated.ogg", "truncated.flac"};
    int n = 0;
    for (const char* name : media) {
        std::string base = name;
        base = base.substr(base.find_last_of('\\') + 1);
        ASSERT_TRUE(
            CopyFileA(MediaPath(name).c_str(), (folder + "\\" + std::to_string(++n) + " " + base).c_str(), FALSE));
    }
    // 4 GB claimed, then the deflate of nothing.
    const Bytes claim = {0xFF, 0xFF, 0xFF, 0xF0, 0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
    ASSERT_TRUE(TagWriter().AddFrame("TIT2", claim, 0x0080).WriteFile(folder + "\\8 compressed.mp3"));
    ASSERT_TRUE(TagWriter().AddFrame("IPLS", {0x01, 0xFF, 0xFE, 'a', 0, 'b'}).WriteFile(folder + "\\9 list.mp3"));
    const struct {
        const char* name;
        const char* magic;
    } magics[] = {{"\\10 magic.mp3", "ID3"}, {"\\11 magic.ogg", "OggS"}, {"\\12 magic.flac", "fLaC"}};
    for (const auto& m : magics) ASSERT_TRUE(WriteFileBytes(folder + m.name, m.magic, strlen(m.magic)));
    const std::string good = AddMedia("tone-440.mp3");  // last in natural order

    Intake("\"" + folder + "\"");
    ASSERT_TRUE(WaitForWorkerEnd());
    const int count = Count();
    ASSERT_EQ(count, 13);
    for (int i = 0; i < count; ++i) {
        PlayTrackAt(window, i);
        ASSERT_TRUE(WaitForStarts()) << i;
    }
    {
        StateLock lock(stateLock);
        ASSERT_NE(engine->ActiveSound, nullptr);
        ASSERT_NE(currentTrack, nullptr);
        EXPECT_EQ(currentIndex, count - 1);
        EXPECT_STREQ(currentTrack->path, scanner->GetFileName(count - 1));
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ASSERT_TRUE(K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters));
    printf("peak working set: %.1f MB\n", counters.PeakWorkingSetSize / 1048576.0);
    EXPECT_LT(counters.PeakWorkingSetSize, 256u * 1024 * 1024);
}

// Listed by the names their owner gave them (by their short names, under a legacy code page), played
// through them, and shown by their own names.
TEST_F(IntakeTest, FilesNamedOutsideTheCodePagePlayUnderTheirRealNames)
{
    std::wstring root(folder.begin(), folder.end());
    const std::wstring names[] = {L"Caf\u00E9.mp3", L"\u041A\u0438\u043D\u043E.ogg", L"\u65E5\u672C\u8A9E.flac"};
    const char* media[] = {"tone-440.mp3", "tone-660.ogg", "tone-770.flac"};
    for (int i = 0; i < 3; ++i) {
        std::string from = MediaPath(media[i]);
        ASSERT_TRUE(
            CopyFileW(std::wstring(from.begin(), from.end()).c_str(), (root + L"\\" + names[i]).c_str(), FALSE));
    }
    Intake("\"" + folder + "\"");
    ASSERT_TRUE(WaitFor([] { return Active() != nullptr && !intakeActive; }, 30000));
    ASSERT_EQ(Count(), 3);
    std::vector<std::wstring> shown;
    for (int i = 0; i < 3; ++i) {
        {
            StateLock lock(stateLock);
            ASSERT_EQ(currentIndex, i);
            ASSERT_NE(engine->ActiveSound, nullptr) << scanner->GetFileName(i);
            shown.push_back(titleText ? titleText : L"");
        }
        PlayNextTrack(window);
        ASSERT_TRUE(WaitForStarts());
    }
    std::sort(shown.begin(), shown.end());
    std::vector<std::wstring> expected = {names[0], names[1], names[2]};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
}

// A double-click in Explorer while "Can't play given file(s)" is up forwards its file: the gate is
// open again once the intake's scan and start are done, before its dialog.
TEST_F(IntakeTest, AFileOpenedWhileTheOutcomeDialogIsUpPlays)
{
    Intake("\"" + folder + "\\no such folder\"");
    HWND dialog = WaitForDialog(ExecutableFileName().c_str(), 30000);
    ASSERT_NE(dialog, nullptr);
    std::string text = "\"" + AddMedia("tone-440.mp3") + "\"";
    COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), &text[0]};
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    EXPECT_TRUE(WaitFor([] { return Active() != nullptr && Count() == 1; }, 30000));
    EXPECT_TRUE(IsWindow(dialog));
    CloseDialog(dialog);
}

// An intake starts its first file only if nothing is loaded, decided where the start commits: a
// start the window thread asked for at the same moment is never paused by it.
TEST_F(IntakeTest, AnIntakesStartNeverPausesAStartThatCameFirst)
{
    ASSERT_TRUE(scanner->Scan(AddMedia("tone-440.mp3").c_str()));
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        {
            StateLock lock(stateLock);
            if (engine->ActiveSound) {
                engine->ActiveSound->StopSound();
                engine->ActiveSound->ReleaseSound();
                engine->ActiveSound = nullptr;
            }
        }
        std::thread intake([&] { StartPlaybackIfIdle(window); });
        PlayTrackAt(window, 0);
        intake.join();  // it waits for the start worker, which needs nothing from this thread
        ASSERT_TRUE(WaitForStarts());
        StateLock lock(stateLock);
        ASSERT_NE(engine->ActiveSound, nullptr);
        EXPECT_FALSE(engine->ActiveSound->QueryPaused());
    }
}
