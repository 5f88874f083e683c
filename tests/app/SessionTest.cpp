// The session: saved while the player runs and at close, restored at a plain start, and bad files survived.
#include <gtest/gtest.h>

#include "app/PlayerState.h"
#include "app/Session.h"
#include "app/SessionFiles.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/PlaybackEngine.h"
#include "playback/NowPlaying.h"
#include "playback/StartWorker.h"
#include "playback/Transport.h"
#include "playback/Volume.h"
#include "support/Audio.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const CaptureFormat kCdStereo = {44100, 2};

class Session : public testing::Test {
protected:
    void TearDown() override
    {
        if (window) DestroyPlayerWindow(window);
        ClearNowPlaying();
        randomPlay = false;
    }

    // A start as the program makes it, without command text.
    void PlainStart()
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);
        RestoreSessionSettings(window);
        ASSERT_TRUE(StartSessionRestore(window));
        ASSERT_TRUE(WaitFor([] { return !intakeActive; }, 30000));
        ASSERT_TRUE(WaitForStarts());
    }
    void Close()
    {
        DestroyPlayerWindow(window);
        window = nullptr;
        ClearNowPlaying();
        idle = true;  // as in a new process
    }
    static int Count() { return scanner->GetNoOfFiles(); }
    static double PositionMs()
    {
        StateLock lock(stateLock);
        PlaybackSound* sound = engine->ActiveSound;
        return sound ? engine->GetPlayPos() * sound->LengthMs() : -1.0;
    }
    static void WriteSession(const std::string& settings, const std::string& list)
    {
        ASSERT_TRUE(WriteFileWhole(SettingsFilePath(), settings));
        ASSERT_TRUE(WriteFileWhole(SessionListPath(), list));
    }

    HWND window = nullptr;
};

TEST_F(Session, CloseAndPlainStartRestoreListFilePositionVolumeAndRandomWithoutASound)
{
    window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    KillTimer(window, kPlaybackTimerId);
    for (const char* name : {"silence-1h02m03s.flac", "tone-440.mp3", "steps.mp3"})
        ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str()));
    ASSERT_TRUE(StartTrackNow(1));
    TogglePlayPause(window);
    SeekBy(1500);
    ChangeVolumeBy(window, -20);
    randomPlay = true;
    Close();
    randomPlay = false;

    const uint64_t restoredAt = CaptureSize();
    PlainStart();
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(currentIndex, 1);
    ASSERT_NE(engine->ActiveSound, nullptr);
    EXPECT_TRUE(engine->ActiveSound->QueryPaused());
    EXPECT_NEAR(PositionMs(), 1500.0, 30.0);
    EXPECT_EQ(engine->Volume(), 80);
    EXPECT_TRUE(randomPlay);
    EXPECT_EQ(randomButton, randomOnButton);

    PumpMessagesFor(600);  // the interval in which a sound that played at once would be heard
    const uint64_t playedAt = CaptureSize();
    EXPECT_LT(ToneAmplitude(ReadCapture(kCdStereo, restoredAt, playedAt), 44100, 440), 0.02) << "heard unasked";
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForCaptureSize(playedAt + kCdStereo.BytesFor(800), 30000));
    const auto heard = ReadCapture(kCdStereo, playedAt, playedAt + kCdStereo.BytesFor(800));
    EXPECT_NEAR(ToneAmplitude(heard, 44100, 440), 0.5 * 0.512, 0.03) << "at the restored volume";
    EXPECT_GT(PositionMs(), 1500.0);
}

TEST_F(Session, ChangesAreSavedWhileThePlayerRuns)
{
    window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    KillTimer(window, kPlaybackTimerId);
    RestoreSessionSettings(window);
    for (const char* name : {"tone-440.mp3", "steps.mp3"}) ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str()));
    ASSERT_TRUE(StartTrackNow(1));
    KeepSession(window);
    EXPECT_TRUE(WaitFor([] { return ReadSettings(SettingsFilePath()).currentIndex == 1; }, 10000));
    const SessionSettings saved = ReadSettings(SettingsFilePath());
    EXPECT_EQ(saved.currentPath, MediaPath("steps.mp3"));
    std::vector<std::string> list;
    EXPECT_TRUE(ReadSessionList(SessionListPath(), [&](const std::string& path) {
        list.push_back(path);
        return true;
    }));
    EXPECT_EQ(list, (std::vector<std::string>{MediaPath("tone-440.mp3"), MediaPath("steps.mp3")}));
}

// Whatever the files hold, the restore ends with the files that exist, and the next save
// replaces what was bad.
TEST_F(Session, BadSessionFilesAreReadAsFarAsTheyAreSound)
{
    const std::string tone = MediaPath("tone-440.mp3");
    const std::string binary("\x00\xff\xfe\x01garbage\x00\r\n\x80\x81", 16);
    struct Case {
        const char* what;
        std::string settings;
        std::string list;
        int count;
        bool loaded;  // the saved current file found
    };
    const Case cases[] = {
        {"gone, folders, binary, cut", "current_index=0\r\ncurrent_path=" + tone + "\r\nposition_ms=99999999\r\n",
         "#EXTM3U\r\nC:\\gone\\away.mp3\r\n" + MediaPath("") + "\r\n" + binary + "\r\n" + tone + "\r\n" +
             tone.substr(0, tone.size() - 3),
         1, true},
        {"a line of megabytes", "", std::string(8 << 20, 'A') + "\r\n" + tone + "\r\n", 1, false},
        {"binary settings, index past the list", binary + "current_index=7\r\nvolume=1000\r\n", tone + "\r\n", 1,
         false},
        {"nothing left", "current_index=0\r\n", "C:\\gone.mp3\r\n", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSession(c.settings, c.list);
        PlainStart();
        EXPECT_EQ(Count(), c.count);
        EXPECT_EQ(engine->Volume(), 100);
        EXPECT_EQ(!idle, c.loaded) << "the About picture unless the current file is found";
        KeepSession(window);
        int saved = -1;
        EXPECT_TRUE(WaitFor(
            [&] {
                saved = 0;
                ReadSessionList(SessionListPath(), [&](const std::string&) { return ++saved > 0; });
                return saved == c.count;
            },
            10000))
            << saved;
        Close();
    }
}

// A double-click in Explorer just after a plain start: the file comes while the restore still
// holds the intake gate, and is taken in once the restore is done, replacing the list.
TEST_F(Session, AFileHandedOverWhileTheListIsReadIsTakenInAfterIt)
{
    std::string list;
    for (int i = 0; i < 20000; ++i) list += MediaPath("tone-440.mp3") + "\r\n";
    WriteSession("", list);
    window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    KillTimer(window, kPlaybackTimerId);
    RestoreSessionSettings(window);
    ASSERT_TRUE(StartSessionRestore(window));
    ASSERT_TRUE(intakeActive) << "the restore ended before the file came";
    const std::string text = "\"" + MediaPath("tone-660.ogg") + "\"";
    COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    EXPECT_TRUE(WaitFor(
        [] {
            StateLock lock(stateLock);
            return !intakeActive && Count() == 1 && MediaPath("tone-660.ogg") == scanner->GetFileName(0);
        },
        30000))
        << Count();
    WaitForStarts();
}

TEST_F(Session, AWindowPlaceOffEveryMonitorComesOntoTheNearestOne)
{
    const POINT places[] = {{100, 120}, {-30000, 20000}};
    for (const POINT& place : places) {
        SessionSettings settings;
        settings.hasWindowPlace = true;
        settings.windowLeft = place.x;
        settings.windowTop = place.y;
        ASSERT_TRUE(WriteFileWhole(SettingsFilePath(), FormatSettings(settings)));
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        RestoreSessionSettings(window);
        RECT bounds = {};
        GetWindowRect(window, &bounds);
        EXPECT_NE(MonitorFromRect(&bounds, MONITOR_DEFAULTTONULL), nullptr) << place.x;
        if (place.x == 100) EXPECT_TRUE(bounds.left == 100 && bounds.top == 120) << "kept where it was";
        Close();
    }
}

}  // namespace
