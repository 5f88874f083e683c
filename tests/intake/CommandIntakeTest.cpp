// The command intake: replacing and appending to the list, starting playback, the outcome dialogs.
#include "intake/IntakeFixture.h"

#include "metadata/TrackInfo.h"

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
    ASSERT_TRUE(WaitFor([] { return Active() != nullptr && !scanning; }, 30000));
    EXPECT_EQ(Count(), 3);
    EXPECT_FALSE(idle);
    EXPECT_EQ(currentIndex, 0);
    {
        StateLock lock(stateLock);
        ASSERT_NE(currentTrack, nullptr);
        EXPECT_STREQ(currentTrack->path, scanner->GetFileName(0));
        EXPECT_EQ(playPauseButton, pauseButton);
    }
    EXPECT_TRUE(WaitFor([&] {
        char title[64] = {};
        GetWindowTextA(window, title, sizeof title);
        return strcmp(title, "Orvandel's Lumetra") == 0 && (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    }, 30000));
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

TEST_F(IntakeTest, TheWindowShowsTheScanAndComesBackAfterIt)
{
    // Enough files that the scan lasts a while.
    for (int i = 0; i < 1500; ++i) {
        std::string path = folder + "\\f" + std::to_string(i) + ".txt";
        WriteFileBytes(path, "x", 1);
    }
    AddMedia("tone-440.mp3");
    bool sawScanTitle = false, sawNoDrops = false;
    Intake("\"" + folder + "\"");
    WaitFor([&] {
        if (scanning) {
            char title[64] = {};
            GetWindowTextA(window, title, sizeof title);
            sawScanTitle |= strncmp(title, "Scanning for music files", 24) == 0;
            sawNoDrops |= !(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        }
        return sawScanTitle && sawNoDrops;
    }, 30000);
    EXPECT_TRUE(sawScanTitle);
    EXPECT_TRUE(sawNoDrops);
    // The worker clears the gate first, then gives back drops and the title.
    EXPECT_TRUE(WaitFor([&] {
        char title[64] = {};
        GetWindowTextA(window, title, sizeof title);
        return !scanning && strcmp(title, "Orvandel's Lumetra") == 0 &&
               (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    }, 30000));
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
    Intake("\"" + AddMedia("tone-440.mp3") + "\" \"" + AddMedia("tone-660.ogg") + "\" \"" +
           AddMedia("tone-770.flac") + "\"");
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
    // Two texts in a row: the second replaces commandText while the first worker may still read its copy.
    std::string first = "add_to_list \"" + AddMedia("tone-440.mp3") + "\"";
    std::string second = "add_to_list \"" + AddMedia("tone-660.ogg") + "\"";
    Intake(first);
    Intake(second);
    EXPECT_STREQ(commandText, second.c_str());
    ASSERT_TRUE(WaitFor([] { return Count() == 2 && !scanning; }, 30000));
    TakeDialog(1000);  // the two may overlap; whichever finished last may report, nothing crashes
}
