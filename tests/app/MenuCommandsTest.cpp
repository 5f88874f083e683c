// The menu's commands, posted as the menu posts them: the file dialogs feed the intake, the
// commands go grey while an intake runs, and always on top.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/MenuCommands.h"
#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "components/WideText.h"
#include "intake/PlaylistFile.h"
#include "playback/NowPlaying.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const int kFileNameEdit = 1152;  // the item dialog's "File name:" box

// Answers the file dialog titled title from a thread of its own, as a user would: types text into
// its file name box and presses its OK button. The window thread sits in the dialog's modal loop
// meanwhile, so the test thread cannot look for it itself.
std::thread AnswerDialog(const wchar_t* title, const std::string& text, std::atomic<bool>& answered)
{
    return std::thread([title, text, &answered] {
        HWND dialog = WaitForDialogNoPump(title, 20000);
        if (!dialog) return;
        SetWindowTextW(GetDlgItem(dialog, kFileNameEdit), ConvertToWide(CP_ACP, 0, text).c_str());
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        answered = true;
    });
}

class MenuCommands : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        RemoveTree(folder);
    }
    // Posts a command as the menu does and lets the dialog's answer take effect.
    bool Run(UINT command, const wchar_t* title, const std::string& answer, int count)
    {
        std::atomic<bool> answered{false};
        std::thread watcher = AnswerDialog(title, answer, answered);
        PostMessageA(window, WM_COMMAND, command, 0);
        const bool taken =
            WaitFor([&] { return answered && !intakeActive && !scanning && scanner->GetNoOfFiles() == count; }, 30000);
        watcher.join();
        return taken;
    }
    static std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

    HWND window = nullptr;
    std::string folder = MakeTempFolder("menu");
};

TEST_F(MenuCommands, OpenReplacesAndAddAppendsWhatTheDialogsReturn)
{
    ASSERT_TRUE(scanner->Scan(MediaPath("tone-770.flac").c_str()));
    ASSERT_TRUE(Run(kOpenFilesCommand, L"Open files",
                    Quoted(MediaPath("tone-440.mp3")) + " " + Quoted(MediaPath("tone-660.ogg")), 2));
    EXPECT_STREQ(scanner->GetFileName(0), MediaPath("tone-440.mp3").c_str());
    EXPECT_TRUE(WaitFor([] { return engine->ActiveSound != nullptr; }, 30000)) << "the first file plays";

    ASSERT_TRUE(Run(kAddFilesCommand, L"Add files", MediaPath("steps.mp3"), 3));
    EXPECT_STREQ(scanner->GetFileName(2), MediaPath("steps.mp3").c_str());

    for (const char* name : {"b.mp3", "a.mp3"})
        CopyFileA(MediaPath("tone-440.mp3").c_str(), (folder + "\\" + name).c_str(), FALSE);
    ASSERT_TRUE(Run(kAddFolderCommand, L"Add folder", folder, 5));
    EXPECT_STREQ(scanner->GetFileName(3), (folder + "\\a.mp3").c_str());
}

TEST_F(MenuCommands, SavedPlaylistHasTheTagsAndReadsBackAsTheSameList)
{
    const char* names[] = {"tone-1540-id3.mp3", "tone-660.ogg", "tone-770.flac"};
    for (const char* name : names) ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str()));
    const std::string saved = folder + "\\saved.m3u8";
    std::atomic<bool> answered{false};
    std::thread watcher = AnswerDialog(L"Save playlist as", saved, answered);
    PostMessageA(window, WM_COMMAND, kSavePlaylistCommand, 0);
    std::string text;
    EXPECT_TRUE(WaitFor(
        [&] {
            text.clear();
            std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(saved.c_str(), "rb"), fclose);
            char chunk[4096];
            for (size_t read; file && (read = fread(chunk, 1, sizeof chunk, file.get())) > 0;) text.append(chunk, read);
            return !text.empty();
        },
        30000));
    watcher.join();
    EXPECT_EQ(text.rfind("#EXTM3U\r\n#EXTINF:1,Test Tones - Tagged MP3\r\n" + MediaPath(names[0]) + "\r\n", 0), 0u)
        << text;
    std::vector<std::string> read;
    EXPECT_TRUE(ReadPlaylistFile(saved.c_str(), [&](const std::string& entry) { read.push_back(entry); }));
    EXPECT_EQ(read, (std::vector<std::string>{MediaPath(names[0]), MediaPath(names[1]), MediaPath(names[2])}));
}

TEST_F(MenuCommands, TakingInIsGreyWhileAnIntakeRunsAndAlwaysOnTopIsChecked)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    for (bool running : {true, false}) {
        intakeActive = running;
        UpdateCommandStates(window, menu);
        for (UINT id : {kOpenFilesCommand, kAddFilesCommand, kAddFolderCommand, kSavePlaylistCommand})
            EXPECT_EQ((GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0, running) << id;
    }
    for (bool onTop : {true, false}) {
        SendMessageA(window, WM_SYSCOMMAND, kAlwaysOnTopCommand, 0);
        EXPECT_EQ(IsAlwaysOnTop(window), onTop);
        UpdateCommandStates(window, menu);
        EXPECT_EQ((GetMenuState(menu, kAlwaysOnTopCommand, MF_BYCOMMAND) & MF_CHECKED) != 0, onTop);
    }
}

}  // namespace
