// The playback engine against the real decoders and waveOut, judged by what the harness captures.
#include "components/PlaybackEngine.h"

#include "support/Audio.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <mmsystem.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>

namespace {

const std::vector<int> kAllTones = {440, 550, 660, 770, 880, 990, 1100, 1210, 1320, 1430, 1540, 1650};
const std::vector<int> kSteps = {500, 600, 700, 800};
const CaptureFormat kCdStereo = {44100, 2};

// Handles this process holds, from the system's handle list (Wine answers GetProcessHandleCount
// with 0). -1 when the list cannot be had.
long OpenHandleCount() {
    struct Entry {
        ULONG processId;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    struct List {
        ULONG count;
        Entry entries[1];
    };
    using QueryFunction = NTSTATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    const ULONG kSystemHandleInformation = 16;
    const NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) return -1;
        const auto* list = reinterpret_cast<const List*>(buffer.data());
        long count = 0;
        for (ULONG i = 0; i < list->count; ++i) {
            if (list->entries[i].processId == GetCurrentProcessId()) ++count;
        }
        return count;
    }
    return -1;
}

class PlaybackEngineTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(waveOutGetNumDevs(), 0u) << "no waveOut device: run the tests through scripts/wine-test.sh";
        captureStart = CaptureSize();
    }

    bool Start(const char* name) { return engine.StartPlaying(MediaPath(name).c_str()); }

    bool WaitForEnd(PlaybackSound* sound, int timeoutMs) {
        return WaitFor([sound] { return sound->HasEnded(); }, timeoutMs);
    }

    // Lets go of the active sound the way the player does.
    void ReleaseActive() {
        PlaybackSound* sound = engine.ActiveSound;
        ASSERT_NE(sound, nullptr);
        sound->StopSound();
        sound->ReleaseSound();
        engine.ActiveSound = nullptr;
    }

    PlaybackEngine engine;
    uint64_t captureStart = 0;
};

TEST_F(PlaybackEngineTest, AnswersHarmlesslyWithoutASound) {
    EXPECT_EQ(engine.ActiveSound, nullptr);
    EXPECT_EQ(engine.GetPlayPos(), 0.0f);
    EXPECT_STREQ(engine.GetPlayTime(), L"[N/A]");
    EXPECT_FALSE(engine.Pause(true));
    EXPECT_FALSE(engine.Seek(0.5f));
}

// --- every format -------------------------------------------------------------------------------

struct FormatCase {
    const char* file;
    int rate;
    int channels;
    int tone;
    uint32_t lengthMs;
    const wchar_t* time;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.file;
}

class EveryFormatTest : public PlaybackEngineTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(EveryFormatTest, PlaysItsToneInItsOwnFormat) {
    const FormatCase& c = GetParam();
    ASSERT_TRUE(Start(c.file));
    PlaybackSound* sound = engine.ActiveSound;
    ASSERT_NE(sound, nullptr);

    const StreamFormat format = sound->GetStreamSource()->GetStreamFormat();
    EXPECT_EQ(format.sampleRate, c.rate);
    EXPECT_EQ(format.channels, c.channels);
    EXPECT_EQ(format.bitsPerSample, 16);
    // Exact to a few ms: the VBR files' quiet ends would fool a length guessed from the first frame.
    EXPECT_NEAR(sound->LengthMs(), c.lengthMs, 5);
    EXPECT_STREQ(engine.GetPlayTime(), c.time);

    const CaptureFormat capture = {c.rate, c.channels};
    ASSERT_TRUE(WaitForCaptureSize(captureStart + capture.BytesFor(500), 5000));
    const auto heard = ReadCapture(capture, captureStart + capture.BytesFor(100), captureStart + capture.BytesFor(500));
    EXPECT_EQ(DominantTone(heard, c.rate, kAllTones), c.tone);
    // Generated at half scale: a wrong sample width or byte order would not come out at 0.5.
    // (A little lower is a gap the system let in when it was short of time.)
    const double amplitude = ToneAmplitude(heard, c.rate, c.tone);
    EXPECT_GT(amplitude, 0.3);
    EXPECT_LT(amplitude, 0.56);
}

INSTANTIATE_TEST_SUITE_P(
    Media, EveryFormatTest,
    testing::Values(FormatCase{"tone-440.mp3", 44100, 2, 440, 3000, L"0:03"},
                    FormatCase{"tone-550-vbr.mp3", 44100, 2, 550, 3000, L"0:03"},
                    FormatCase{"tone-660.ogg", 48000, 2, 660, 3000, L"0:03"},
                    FormatCase{"tone-770.flac", 44100, 2, 770, 1000, L"0:01"},
                    FormatCase{"tone-880-24bit.flac", 48000, 2, 880, 1000, L"0:01"},
                    FormatCase{"tone-990-mono.mp3", 22050, 1, 990, 1000, L"0:01"},
                    FormatCase{"tone-1100-mono.ogg", 22050, 1, 1100, 1000, L"0:01"},
                    FormatCase{"tone-1210-mono.flac", 32000, 1, 1210, 1000, L"0:01"},
                    FormatCase{"ogg-1320.mp3", 44100, 2, 1320, 1000, L"0:01"},
                    FormatCase{"tone-1430-id3.flac", 44100, 2, 1430, 1000, L"0:01"},
                    FormatCase{"tone-1540-id3.mp3", 44100, 2, 1540, 1000, L"0:01"},
                    FormatCase{"tone-1650-vbr-noinfo.mp3", 44100, 2, 1650, 3030, L"0:03"}),
    [](const testing::TestParamInfo<FormatCase>& info) {
        std::string name = info.param.file;
        for (char& ch : name)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

// --- files that do not play ------------------------------------------------------------------

TEST_F(PlaybackEngineTest, RefusesWhatIsNotPlayableAudio) {
    EXPECT_FALSE(engine.StartPlaying(nullptr));
    EXPECT_FALSE(engine.StartPlaying(""));
    EXPECT_FALSE(Start("no-such-file.mp3"));
    EXPECT_FALSE(Start("demo"));  // a folder
    for (const char* name : {"empty.mp3", "truncated.mp3", "truncated.ogg", "truncated.flac", "random.mp3", "text.mp3"}) {
        EXPECT_FALSE(Start(name)) << name;
    }
    EXPECT_EQ(engine.ActiveSound, nullptr);
    EXPECT_STREQ(engine.GetPlayTime(), L"[N/A]");
}

TEST_F(PlaybackEngineTest, AFileThatDoesNotPlayLeavesTheCurrentSoundPlaying) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    PlaybackSound* sound = engine.ActiveSound;
    EXPECT_FALSE(Start("random.mp3"));
    EXPECT_FALSE(Start("no-such-file.ogg"));
    EXPECT_EQ(engine.ActiveSound, sound);
    const float before = engine.GetPlayPos();
    EXPECT_TRUE(WaitFor([&] { return engine.GetPlayPos() > before + 0.1f; }, 2000));
    EXPECT_FALSE(sound->HasEnded());
}

struct TruncatedCase {
    const char* file;
    uint32_t minLengthMs;
    uint32_t maxLengthMs;
};

void PrintTo(const TruncatedCase& c, std::ostream* os) {
    *os << c.file;
}

class TruncatedFileTest : public PlaybackEngineTest, public testing::WithParamInterface<TruncatedCase> {};

TEST_P(TruncatedFileTest, PlaysWhatItHasAndEnds) {
    const TruncatedCase& c = GetParam();
    ASSERT_TRUE(Start(c.file));
    PlaybackSound* sound = engine.ActiveSound;
    EXPECT_GE(sound->LengthMs(), c.minLengthMs);
    EXPECT_LE(sound->LengthMs(), c.maxLengthMs);
    EXPECT_TRUE(WaitForEnd(sound, 8000));
}

// The mp3 and ogg lengths count what is there; flac believes its stream info.
INSTANTIATE_TEST_SUITE_P(Media, TruncatedFileTest,
                         testing::Values(TruncatedCase{"cut-440.mp3", 1300, 1700},
                                         TruncatedCase{"cut-660.ogg", 900, 2000},
                                         TruncatedCase{"cut-770.flac", 1000, 1000}),
                         [](const testing::TestParamInfo<TruncatedCase>& info) {
                             return std::string(strchr(info.param.file, '.') + 1);
                         });

// --- position, seeking, pausing, the end -------------------------------------------------------

TEST_F(PlaybackEngineTest, PositionFollowsRealTime) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    // Past the start, where the device takes in a burst to fill its buffers.
    ASSERT_TRUE(WaitFor([&] { return engine.GetPlayPos() > 0.25f; }, 3000));
    const float firstPos = engine.GetPlayPos();
    const DWORD firstTick = GetTickCount();
    PumpMessagesFor(1000);  // the interval measured, not a wait for something
    const float secondPos = engine.GetPlayPos();
    const DWORD secondTick = GetTickCount();
    EXPECT_NEAR((secondPos - firstPos) * 3000.0f, static_cast<float>(secondTick - firstTick), 150.0f);
}

class SeekTest : public PlaybackEngineTest, public testing::WithParamInterface<const char*> {};

// The file steps through 500, 600, 700 and 800 Hz, 0.75 s each. A seek to 0.85 of it lands
// 0.45 s before the end, inside the last step: after the seek the capture must go straight from
// the first step to 0.45 s of the last one.
TEST_P(SeekTest, LandsWhereAsked) {
    ASSERT_TRUE(Start(GetParam()));
    PlaybackSound* sound = engine.ActiveSound;
    ASSERT_TRUE(WaitForCaptureSize(captureStart + kCdStereo.BytesFor(100), 5000));
    const uint64_t seekedAt = CaptureSize();
    EXPECT_TRUE(engine.Seek(0.85f));
    // At once, give or take what the device has taken in since.
    EXPECT_NEAR(engine.GetPlayPos(), 0.85f, 0.06f);
    ASSERT_TRUE(WaitForEnd(sound, 4000));
    EXPECT_FLOAT_EQ(engine.GetPlayPos(), 1.0f);
    ASSERT_TRUE(WaitForCaptureSize(seekedAt + kCdStereo.BytesFor(1500), 5000));

    const auto track = ToneTrack(ReadCapture(kCdStereo, seekedAt), 44100, kSteps, 10);
    int lastStepWindows = 0;
    bool inLastStep = false;
    for (int tone : track) {
        EXPECT_NE(tone, 600);
        EXPECT_NE(tone, 700);
        if (tone == 800) inLastStep = true;
        if (inLastStep) {
            EXPECT_NE(tone, 500) << "the first step came back after the seek";
        }
        if (tone == 800) ++lastStepWindows;
    }
    EXPECT_NEAR(lastStepWindows * 10, 450, 30);
}

INSTANTIATE_TEST_SUITE_P(Media, SeekTest, testing::Values("steps.mp3", "steps.ogg", "steps.flac"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(strchr(info.param, '.') + 1);
                         });

TEST_F(PlaybackEngineTest, SeekToTheEndEndsTheSound) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    PlaybackSound* sound = engine.ActiveSound;
    EXPECT_TRUE(engine.Seek(1.0f));
    EXPECT_TRUE(WaitForEnd(sound, 1000));
    EXPECT_FLOAT_EQ(engine.GetPlayPos(), 1.0f);
    // An ended sound can still be sent back.
    EXPECT_TRUE(engine.Seek(0.5f));
    EXPECT_FALSE(sound->HasEnded());
    EXPECT_TRUE(WaitForEnd(sound, 3000));
}

TEST_F(PlaybackEngineTest, PauseHoldsThePositionAndResumeGoesOn) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    PlaybackSound* sound = engine.ActiveSound;
    ASSERT_TRUE(WaitFor([&] { return engine.GetPlayPos() > 0.2f; }, 6000));
    EXPECT_FALSE(sound->QueryPaused());

    EXPECT_TRUE(engine.Pause(true));
    EXPECT_TRUE(sound->QueryPaused());
    const uint64_t pausedAt = CaptureSize();
    PumpMessagesFor(200);  // a transfer under way as the pause came may still be counted
    const float held = engine.GetPlayPos();
    PumpMessagesFor(800);  // time passing while paused
    EXPECT_NEAR(engine.GetPlayPos(), held, 0.005f);
    EXPECT_FALSE(sound->HasEnded());
    // Whatever the device still delivered after the pause settled is not the tone.
    const auto afterPause = ReadCapture(kCdStereo, pausedAt + kCdStereo.BytesFor(500));
    EXPECT_LT(ToneAmplitude(afterPause, 44100, 440), 0.02);

    EXPECT_TRUE(engine.Pause(false));
    EXPECT_FALSE(sound->QueryPaused());
    EXPECT_TRUE(WaitFor([&] { return engine.GetPlayPos() > held + 0.1f; }, 2000));
}

// A reset device starts again on its next buffer; the engine must keep it paused.
TEST_F(PlaybackEngineTest, SeekWhilePausedStaysPaused) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    PlaybackSound* sound = engine.ActiveSound;
    ASSERT_TRUE(WaitFor([&] { return engine.GetPlayPos() > 0.1f; }, 6000));
    ASSERT_TRUE(engine.Pause(true));
    EXPECT_TRUE(engine.Seek(0.5f));
    EXPECT_TRUE(sound->QueryPaused());
    PumpMessagesFor(300);  // the output thread queues the buffers from the new place
    const float held = engine.GetPlayPos();
    EXPECT_NEAR(held, 0.5f, 0.05f);
    PumpMessagesFor(600);
    EXPECT_NEAR(engine.GetPlayPos(), held, 0.005f) << "the seek resumed a paused sound";
    EXPECT_TRUE(engine.Pause(false));
    EXPECT_TRUE(WaitFor([&] { return engine.GetPlayPos() > held + 0.1f; }, 3000));
}

TEST_F(PlaybackEngineTest, EndsAfterTheLastSampleWithEverySamplePlayedOnce) {
    ASSERT_TRUE(Start("tone-770.flac"));
    PlaybackSound* sound = engine.ActiveSound;
    EXPECT_FALSE(sound->HasEnded());
    ASSERT_TRUE(WaitForEnd(sound, 3000));
    EXPECT_FLOAT_EQ(engine.GetPlayPos(), 1.0f);
    EXPECT_TRUE(sound->HasEnded());  // and stays so

    // Once the device has flushed, the capture holds one second of tone without a gap: a buffer
    // lost or played twice would be a tenth of a second off. (The system may let in a few ms of
    // silence when it is short of time.)
    ASSERT_TRUE(WaitForCaptureSize(captureStart + kCdStereo.BytesFor(1600), 5000));
    const auto heard = ReadCapture(kCdStereo, captureStart);
    const SoundSpan span = AudibleSpan(heard);
    EXPECT_NEAR(static_cast<double>(span.end - span.begin), 44100.0, 1500.0);
    const std::vector<float> toneOnly(heard.begin() + span.begin, heard.begin() + span.end);
    for (int tone : ToneTrack(toneOnly, 44100, {770}, 20)) EXPECT_EQ(tone, 770);
}

// --- replacing and releasing ------------------------------------------------------------------

TEST_F(PlaybackEngineTest, StartingAnotherFileEndsTheFirst) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    PlaybackSound* first = engine.ActiveSound;
    ASSERT_TRUE(WaitForCaptureSize(captureStart + kCdStereo.BytesFor(300), 5000));

    ASSERT_TRUE(Start("tone-770.flac"));
    const uint64_t switchedAt = CaptureSize();
    PlaybackSound* second = engine.ActiveSound;
    EXPECT_NE(second, first);
    // The first sound was let go by the engine, yet still answers.
    EXPECT_FALSE(first->QueryPaused());
    EXPECT_FALSE(first->HasEnded());
    EXPECT_EQ(first->LengthMs(), 3000u);

    ASSERT_TRUE(WaitForCaptureSize(switchedAt + kCdStereo.BytesFor(1000), 5000));
    const auto heard = ReadCapture(kCdStereo, switchedAt, switchedAt + kCdStereo.BytesFor(1000));
    const auto track = ToneTrack(heard, 44100, {440, 770}, 20);
    const auto firstNew = std::find(track.begin(), track.end(), 770);
    ASSERT_NE(firstNew, track.end()) << "the second file was never heard";
    EXPECT_LT((firstNew - track.begin()) * 20, 800) << "the first file went on too long";
    // From there on, nothing of the first file: it was stopped, not mixed.
    const std::vector<float> afterSwitch(heard.begin() + (firstNew - track.begin()) * 882, heard.end());
    EXPECT_LT(ToneAmplitude(afterSwitch, 44100, 440), 0.02);
}

TEST_F(PlaybackEngineTest, ReleasedSoundFallsSilentAndAnswersDefaults) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    PlaybackSound* sound = engine.ActiveSound;
    ASSERT_TRUE(WaitForCaptureSize(captureStart + kCdStereo.BytesFor(200), 5000));
    ASSERT_NO_FATAL_FAILURE(ReleaseActive());

    EXPECT_EQ(engine.GetPlayPos(), 0.0f);
    EXPECT_STREQ(engine.GetPlayTime(), L"[N/A]");
    EXPECT_FALSE(engine.Pause(true));
    EXPECT_FALSE(sound->QueryPaused());
    EXPECT_FALSE(sound->HasEnded());
    sound->StopSound();  // twice is harmless
    sound->ReleaseSound();

    // The device is closed: the capture stops growing. (An open device keeps delivering, if only
    // silence, after its sound has ended.)
    uint64_t last = CaptureSize();
    DWORD unchangedSince = GetTickCount();
    EXPECT_TRUE(WaitFor(
        [&] {
            const uint64_t now = CaptureSize();
            if (now != last) {
                last = now;
                unchangedSince = GetTickCount();
            }
            return GetTickCount() - unchangedSince >= 500;
        },
        3000));
}

TEST_F(PlaybackEngineTest, ReleaseFromAnotherThreadWhileTheWindowThreadAsks) {
    ASSERT_TRUE(Start("tone-440.mp3"));
    const std::string files[] = {MediaPath("tone-770.flac"), MediaPath("tone-660.ogg"), MediaPath("tone-440.mp3")};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        // What a new drop does: stop and release the sound, clear it, start another.
        for (int round = 0; round < 6; ++round) {
            PlaybackSound* sound = engine.ActiveSound;
            if (sound != nullptr) {
                sound->StopSound();
                sound->ReleaseSound();
                engine.ActiveSound = nullptr;
            }
            engine.StartPlaying(files[round % 3].c_str());
        }
        done = true;
    });
    int asked = 0;
    while (!done) {
        engine.GetPlayPos();
        engine.GetPlayTime();
        PlaybackSound* sound = engine.ActiveSound;
        if (sound != nullptr) {
            sound->QueryPaused();
            sound->HasEnded();
            sound->LengthMs();
            sound->GetStreamSource()->GetStreamFormat();
            engine.Pause(asked % 2 == 0);
            engine.Seek(0.25f);
        }
        ++asked;
    }
    worker.join();
    EXPECT_GT(asked, 0);
    ASSERT_NE(engine.ActiveSound, nullptr);
    EXPECT_EQ(engine.ActiveSound->LengthMs(), 3000u);  // the last round started tone-440.mp3
}

// --- texts and resources ---------------------------------------------------------------------

// The libraries' own file opening would take the path for UTF-8; it is in the ANSI code page.
TEST_F(PlaybackEngineTest, OpensPathsWithLettersOfTheAnsiCodePage) {
    const std::string folder = MakeTempFolder("engine");
    for (const char* name : {"tone-440.mp3", "tone-660.ogg", "tone-770.flac"}) {
        const std::string copy = folder + "\\Caf\xe9 cr\xe8me " + name;
        ASSERT_TRUE(CopyFileA(MediaPath(name).c_str(), copy.c_str(), FALSE)) << name;
        EXPECT_TRUE(engine.StartPlaying(copy.c_str())) << name;
    }
    ASSERT_NO_FATAL_FAILURE(ReleaseActive());
    RemoveTree(folder);
}

TEST_F(PlaybackEngineTest, PlayTimeShowsHoursFromAnHourOn) {
    ASSERT_TRUE(Start("silence-1h02m03s.flac"));
    EXPECT_EQ(engine.ActiveSound->LengthMs(), 3723400u);
    EXPECT_STREQ(engine.GetPlayTime(), L"1:02:03");
    EXPECT_LE(wcslen(engine.GetPlayTime()), 15u);
    EXPECT_EQ(engine.ActiveSound->GetStreamSource()->GetStreamFormat().sampleRate, 8000);
}

TEST_F(PlaybackEngineTest, SoundsAndEnginesLeaveNoHandlesBehind) {
    // A first round lets the system set up what it keeps for the process, for two devices open
    // at once as while one sound replaces another.
    ASSERT_TRUE(Start("tone-770.flac"));
    ASSERT_TRUE(Start("tone-440.mp3"));
    ASSERT_NO_FATAL_FAILURE(ReleaseActive());
    const long baseline = OpenHandleCount();
    ASSERT_GT(baseline, 0);

    for (const char* name : {"tone-440.mp3", "tone-660.ogg", "tone-770.flac"}) {
        ASSERT_TRUE(Start(name));
        ASSERT_NO_FATAL_FAILURE(ReleaseActive());
    }
    ASSERT_TRUE(Start("tone-440.mp3"));
    ASSERT_TRUE(Start("tone-770.flac"));  // replaced, not released
    ASSERT_NO_FATAL_FAILURE(ReleaseActive());
    {
        PlaybackEngine other;
        ASSERT_TRUE(other.StartPlaying(MediaPath("tone-660.ogg").c_str()));
    }  // destroyed while playing
    // Six sounds came and went; the system's own bookkeeping moves by a handle now and then.
    EXPECT_LE(OpenHandleCount(), baseline + 2);
}

}  // namespace
