// The taskbar button: its toolbar's clicks do what the window's buttons do, and what it shows
// follows the play state and the seek bar.
#include <gtest/gtest.h>

#include <shobjidl.h>

#include "app/PlayerState.h"
#include "app/TaskbarButtons.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "playback/NowPlaying.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

class TaskbarButtons : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);
        for (const char* name : {"silence-1h02m03s.flac", "tone-440.mp3"})
            ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str()));
        // What the shell sends once the button exists; Wine's taskbar list takes the toolbar.
        SendMessageW(window, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    }
    void TearDown() override
    {
        DestroyPlayerWindow(window);
        ClearNowPlaying();
    }
    void Click(UINT button) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(button, THBN_CLICKED), 0); }
    static TaskbarView View()
    {
        StateLock lock(stateLock);
        return DecideTaskbarView(false);
    }

    HWND window = nullptr;
};

TEST_F(TaskbarButtons, ClicksDoWhatTheWindowsButtonsDoAndTheViewFollows)
{
    EXPECT_EQ(View().progressState, TBPF_NOPROGRESS);
    Click(kThumbPlayPauseButton);  // nothing loaded: the first file starts
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 0);
    TaskbarView view = View();
    EXPECT_TRUE(view.playing);
    EXPECT_EQ(view.progressState, TBPF_NORMAL);
    EXPECT_EQ(view.total, static_cast<ULONGLONG>(seekBar->width - 2)) << "in the bar's steps";

    Click(kThumbPlayPauseButton);
    view = View();
    EXPECT_FALSE(view.playing);
    EXPECT_EQ(view.progressState, TBPF_PAUSED);

    Click(kThumbNextButton);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 1);
    Click(kThumbPreviousButton);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 0);
    // The shell sends it again after Explorer restarts: the toolbar is added to the new button.
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    EXPECT_TRUE(View().playing);
}

}  // namespace
