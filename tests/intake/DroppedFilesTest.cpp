// Files and folders dropped on the window, as a drop handle made here and sent as WM_DROPFILES.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

// A drop handle listing the paths, as the shell makes one.
HDROP MakeDrop(const std::vector<std::string>& paths)
{
    size_t bytes = 1;
    for (const std::string& path : paths) bytes += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    char* out = reinterpret_cast<char*>(drop + 1);
    for (const std::string& path : paths) {
        memcpy(out, path.c_str(), path.size());
        out += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class DroppedFiles : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        folder = MakeTempFolder("drop");
    }
    void TearDown() override
    {
        CloseAllDialogs();
        DestroyPlayerWindow(window);
        RemoveTree(folder);
    }
    void Drop(const std::vector<std::string>& paths)
    {
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    }

    HWND window = nullptr;
    std::string folder;
};

}  // namespace

TEST_F(DroppedFiles, NothingPlayableIsReportedAndTheWindowIsGivenBack)
{
    std::string wav = folder + "\\only.wav";
    ASSERT_TRUE(WriteFileBytes(wav, "RIFF", 4));
    scanner->Scan(MediaPath("tone-440.mp3").c_str());
    Drop({folder, folder + "\\" + std::string(1100, 'a') + ".mp3"});

    HWND dialog = WaitForDialog(ExecutableFileName().c_str(), 30000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(HasText(ReadTaskDialog(dialog), L"Can't play given file(s)"));
    CloseDialog(dialog);
    EXPECT_EQ(scanner->GetNoOfFiles(), 0);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Orvandel's Lumetra");
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(DroppedFiles, ADropReplacesTheListAndPlaysItsFirstFile)
{
    scanner->Scan(MediaPath("tone-660.ogg").c_str());
    scanner->Scan(MediaPath("tone-770.flac").c_str());
    Drop({MediaPath("tone-440.mp3")});
    ASSERT_TRUE(WaitFor([] { return !scanning && scanner->GetNoOfFiles() == 1 && engine->ActiveSound; }, 30000));
    EXPECT_EQ(std::string(scanner->GetFileName(0)), MediaPath("tone-440.mp3"));
    EXPECT_EQ(WaitForDialog(ExecutableFileName().c_str(), 500), nullptr);
}
