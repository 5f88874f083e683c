// The playback engine against the real decoders and waveOut, judged by what the harness captures.
#include "components/PlaybackEngine.h"

#include "support/Audio.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "components/WaveOutput.h"

namespace {

const CaptureFormat kCdStereo = {44100, 2};

class PlaybackEngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(waveOutGetNumDevs(), 0u) << "no waveOut device: run the tests through scripts/wine-test.sh";
        captureStart = CaptureSize();
    }

    bool Start(const char* name) { return engine.StartPlaying(MediaPath(name).c_str()); }
    bool WaitForEnd(int timeoutMs)
    {
        PlaybackSound* sound = engine.ActiveSound;
        return WaitFor([sound] { return sound->HasEnded(); }, timeoutMs);
    }
    // Once every device has closed, the capture stops growing: an open one keeps delivering, if
    // only silence.
    static bool WaitForCaptureToRest()
    {
        uint64_t last = CaptureSize();
        DWORD restingSince = GetTickCount();
        return WaitFor(
            [&] {
                if (CaptureSize() == last) return GetTickCount() - restingSince >= 500;
                last = CaptureSize();
                restingSince = GetTickCount();
                return false;
            },
            30000);
    }
    // Lets go of the active sound the way the player does.
    void ReleaseActive()
    {
        engine.ActiveSound->StopSound();
        engine.ActiveSound->ReleaseSound();
        engine.ActiveSound = nullptr;
    }

    PlaybackEngine engine;
    uint64_t captureStart = 0;
};

struct FormatCase {
    const char* file;
    int rate, channels, tone;  // no tone: nothing to hear
    uint32_t lengthMs;
    const wchar_t* time;
};

class EveryFormatTest : public PlaybackEngineTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(EveryFormatTest, PlaysItsToneAtItsRateAndLength)
{
    const FormatCase& c = GetParam();
    ASSERT_TRUE(Start(c.file));
    const StreamFormat format = engine.ActiveSound->GetStreamSource()->GetStreamFormat();
    EXPECT_EQ(format.sampleRate, c.rate);
    EXPECT_EQ(format.channels, c.channels);
    // Exact to a few ms: the VBR files' quiet ends would fool a length guessed from the first
    // frame. A file without an info header is counted in the background, so that one settles.
    PlaybackSound* sound = engine.ActiveSound;
    EXPECT_TRUE(
        WaitFor([&] { return sound->LengthMs() + 5 >= c.lengthMs && sound->LengthMs() <= c.lengthMs + 5; }, 30000))
        << sound->LengthMs();
    EXPECT_STREQ(engine.GetPlayTime(), c.time);
    if (c.tone == 0) return;

    const CaptureFormat capture = {c.rate, c.channels};
    ASSERT_TRUE(WaitForCaptureSize(captureStart + capture.BytesFor(500), 30000));
    const auto heard = ReadCapture(capture, captureStart + capture.BytesFor(100), captureStart + capture.BytesFor(500));
    EXPECT_EQ(
        DominantTone(heard, c.rate, {440, 550, 660, 770, 880, 990, 1100, 1210, 1320, 1430, 1540, 1650, 1760, 1870}),
        c.tone);
    // Made at half scale: a wrong sample width or byte order would not come out near 0.5.
    EXPECT_GT(ToneAmplitude(heard, c.rate, c.tone), 0.3);
    EXPECT_LT(ToneAmplitude(heard, c.rate, c.tone), 0.56);
}

INSTANTIATE_TEST_SUITE_P(PlaybackEngine, EveryFormatTest,
                         testing::Values(FormatCase{"tone-440.mp3", 44100, 2, 440, 3000, L"0:03"},
                                         FormatCase{"tone-550-vbr.mp3", 44100, 2, 550, 3000, L"0:03"},
                                         FormatCase{"tone-1650-vbr-noinfo.mp3", 44100, 2, 1650, 3030, L"0:03"},
                                         FormatCase{"tone-660.ogg", 48000, 2, 660, 3000, L"0:03"},
                                         FormatCase{"tone-770.flac", 44100, 2, 770, 1000, L"0:01"},
                                         FormatCase{"tone-880-24bit.flac", 48000, 2, 880, 1000, L"0:01"},
                                         FormatCase{"tone-990-mono.mp3", 22050, 1, 990, 1000, L"0:01"},
                                         FormatCase{"tone-1100-mono.ogg", 22050, 1, 1100, 1000, L"0:01"},
                                         FormatCase{"tone-1210-mono.flac", 32000, 1, 1210, 1000, L"0:01"},
                                         FormatCase{"ogg-1320.mp3", 44100, 2, 1320, 1000, L"0:01"},
                                         FormatCase{"tone-1430-id3.flac", 44100, 2, 1430, 1000, L"0:01"},
                                         FormatCase{"tone-1540-id3.mp3", 44100, 2, 1540, 1000, L"0:01"},
                                         FormatCase{"tone-1760.opus", 48000, 2, 1760, 3000, L"0:03"},
                                         FormatCase{"tone-1870-mono.opus", 48000, 1, 1870, 1000, L"0:01"},
                                         FormatCase{"silence-1h02m03s.flac", 8000, 1, 0, 3723400, L"1:02:03"}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                             std::string name = info.param.file;
                             for (char& ch : name) ch = isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// The system opens and closes the devices of a process one at a time, and a close can take as
// long as the device's buffer plays: a device opened right after another was stopped (a second
// launch replacing the list) must not wait behind that close.
TEST_F(PlaybackEngineTest, ADeviceOpenedRightAfterAStopDoesNotWaitForItsClose)
{
    const std::string path = MediaPath("tone-440.mp3");
    auto first = audio::WaveOutput::Open(audio::PrimedSource::Prime(audio::OpenAudioDecoder(path.c_str())));
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->Play());
    ASSERT_TRUE(WaitForCaptureSize(captureStart + kCdStereo.BytesFor(300), 30000));
    audio::PrimedSource next = audio::PrimedSource::Prime(audio::OpenAudioDecoder(path.c_str()));
    first->Stop();
    ASSERT_TRUE(first->WaitSilent(5000));
    auto second = audio::WaveOutput::Open(std::move(next));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(first->WaitClosed(0)) << "the open came after the stopped device's close";
    EXPECT_TRUE(first->WaitClosed(5000));
    second->Stop();
    EXPECT_TRUE(second->WaitClosed(5000));
}

TEST_F(PlaybackEngineTest, FilesThatAreNotAudioAreRefusedAndLeaveTheCurrentSoundPlaying)
{
    EXPECT_STREQ(engine.GetPlayTime(), L"[N/A]");
    EXPECT_EQ(engine.GetPlayPos(), 0.0f);
    EXPECT_FALSE(engine.Seek(0.5f));
    EXPECT_FALSE(engine.StartPlaying(nullptr));
    EXPECT_FALSE(Start("no-such-file.mp3"));
    EXPECT_FALSE(Start("demo"));  // a folder
    for (const char* name : {"empty.mp3", "truncated.mp3", "truncated.ogg", "truncated.flac", "truncated.opus",
                             "random.mp3", "text.mp3"}) {
        EXPECT_FALSE(Start(name)) << name;
    }
    EXPECT_EQ(engine.ActiveSound, nullptr);

    ASSERT_TRUE(Start("tone-440.mp3"));
    PlaybackSound* sound = engine.ActiveSound;
    EXPECT_FALSE(Start("random.mp3"));
    EXPECT_EQ(engine.ActiveSound, sound);
    EXPECT_TRUE(WaitFor([&] { return engine.GetPlayPos() > 0.1f; }, 30000));
}

// The libraries' own file opening would take the path for UTF-8; it is in the ANSI code page.
TEST_F(PlaybackEngineTest, FilesCutShortPlayWhatTheyHaveAndEndEvenUnderAnAnsiPath)
{
    // mp3, ogg and opus count what is there; flac believes its stream info.
    const struct {
        const char* file;
        uint32_t minMs, maxMs;
    } cases[] = {{"cut-440.mp3", 1300, 1700},
                 {"cut-660.ogg", 900, 2000},
                 {"cut-770.flac", 1000, 1000},
                 {"cut-1760.opus", 900, 2100}};
    const std::string folder = MakeTempFolder("caf\xC3\xA9");
    for (const auto& c : cases) {
        const std::string path = folder + "\\" + c.file;
        ASSERT_TRUE(CopyFileA(MediaPath(c.file).c_str(), path.c_str(), FALSE)) << path;
        ASSERT_TRUE(engine.StartPlaying(path.c_str())) << c.file;
        EXPECT_GE(engine.ActiveSound->LengthMs(), c.minMs) << c.file;
        EXPECT_LE(engine.ActiveSound->LengthMs(), c.maxMs) << c.file;
        EXPECT_TRUE(WaitForEnd(20000)) << c.file;
    }
    ReleaseActive();
    RemoveTree(folder);
}

// The level is heard soon after the change, at the cube of the level: half the travel is an
// eighth of the amplitude. Wine's own path to the capture holds about 300 ms of sound (its mixing
// buffer, ALSA's, the capture's pipe); the player adds at most the 300 ms it queues.
TEST_F(PlaybackEngineTest, VolumeScalesWhatIsHeardSoon)
{
    ASSERT_TRUE(Start("tone-440.mp3"));
    ASSERT_TRUE(WaitForCaptureSize(captureStart + kCdStereo.BytesFor(800), 30000));
    const uint64_t changedAt = CaptureSize();
    engine.SetVolume(50);
    EXPECT_EQ(engine.Volume(), 50);
    ASSERT_TRUE(WaitForCaptureSize(changedAt + kCdStereo.BytesFor(1000), 30000));
    const auto heard = ReadCapture(kCdStereo, changedAt, changedAt + kCdStereo.BytesFor(1000));
    const size_t window = 44100 / 50;  // 20 ms
    int heardAfterMs = -1;
    for (size_t at = 0; at + window <= heard.size() && heardAfterMs < 0; at += window) {
        std::vector<float> part(heard.begin() + at, heard.begin() + at + window);
        if (ToneAmplitude(part, 44100, 440) < 0.1) heardAfterMs = static_cast<int>(at * 1000 / 44100);
    }
    EXPECT_GE(heardAfterMs, 0);
    EXPECT_LT(heardAfterMs, 700);
    const std::vector<float> tail(heard.end() - 44100 / 5, heard.end());
    EXPECT_NEAR(ToneAmplitude(tail, 44100, 440), 0.5 * 0.125, 0.01);
}

TEST_F(PlaybackEngineTest, PositionFollowsWhatIsHeardAndPauseHoldsIt)
{
    ASSERT_TRUE(Start("tone-440.mp3"));
    // Past the start, where the device takes in a burst to fill its buffers.
    ASSERT_TRUE(WaitFor([&] { return engine.GetPlayPos() > 0.25f; }, 30000));
    const float firstPos = engine.GetPlayPos();
    const uint64_t firstSize = CaptureSize();
    PumpMessagesFor(1000);  // the interval measured, not a wait for something
    const double heardMs = (CaptureSize() - firstSize) * 1000.0 / kCdStereo.BytesFor(1000);
    EXPECT_NEAR((engine.GetPlayPos() - firstPos) * 3000.0, heardMs, 150.0);

    EXPECT_TRUE(engine.Pause(true));
    const uint64_t pausedAt = CaptureSize();
    PumpMessagesFor(200);  // a transfer under way as the pause came may still be counted
    const float held = engine.GetPlayPos();
    PumpMessagesFor(600);
    EXPECT_NEAR(engine.GetPlayPos(), held, 0.005f);
    EXPECT_LT(ToneAmplitude(ReadCapture(kCdStereo, pausedAt + kCdStereo.BytesFor(500)), 44100, 440), 0.02);
    EXPECT_TRUE(engine.Pause(false));
    EXPECT_TRUE(WaitFor([&] { return engine.GetPlayPos() > held + 0.1f; }, 30000));
}

// A reset device starts again on its next buffer; the engine must keep it paused.
TEST_F(PlaybackEngineTest, SeekWhilePausedStaysPaused)
{
    ASSERT_TRUE(Start("tone-440.mp3"));
    ASSERT_TRUE(WaitFor([&] { return engine.GetPlayPos() > 0.1f; }, 30000));
    ASSERT_TRUE(engine.Pause(true));
    EXPECT_TRUE(engine.Seek(0.5f));
    EXPECT_TRUE(engine.ActiveSound->QueryPaused());
    PumpMessagesFor(300);  // the output thread queues the buffers from the new place
    const float held = engine.GetPlayPos();
    EXPECT_NEAR(held, 0.5f, 0.05f);
    PumpMessagesFor(600);
    EXPECT_NEAR(engine.GetPlayPos(), held, 0.005f) << "the seek resumed a paused sound";
}

class SeekTest : public PlaybackEngineTest, public testing::WithParamInterface<const char*> {};

// The file steps through 500, 600, 700 and 800 Hz, 0.75 s each; 0.85 of it is 0.45 s before the
// end. After the seek the capture must go straight from the first step to 0.45 s of the last.
TEST_P(SeekTest, LandsWhereAsked)
{
    ASSERT_TRUE(Start(GetParam()));
    // 44.1 kHz, but 48 kHz for Opus.
    const CaptureFormat format = {engine.ActiveSound->GetStreamSource()->GetStreamFormat().sampleRate, 2};
    ASSERT_TRUE(WaitForCaptureSize(captureStart + format.BytesFor(100), 30000));
    const uint64_t seekedAt = CaptureSize();
    EXPECT_TRUE(engine.Seek(0.85f));
    EXPECT_NEAR(engine.GetPlayPos(), 0.85f, 0.06f);
    ASSERT_TRUE(WaitForEnd(20000));
    ASSERT_TRUE(WaitForCaptureSize(seekedAt + format.BytesFor(1500), 30000));

    const auto track = ToneTrack(ReadCapture(format, seekedAt), format.rate, {500, 600, 700, 800}, 10);
    const auto lastStep = std::find(track.begin(), track.end(), 800);
    EXPECT_EQ(std::count(track.begin(), track.end(), 600) + std::count(track.begin(), track.end(), 700), 0);
    EXPECT_EQ(std::count(lastStep, track.end(), 500), 0) << "the first step came back after the seek";
    EXPECT_NEAR(std::count(lastStep, track.end(), 800) * 10, 450, 30);
}

INSTANTIATE_TEST_SUITE_P(PlaybackEngine, SeekTest,
                         testing::Values("steps.mp3", "steps.ogg", "steps.flac", "steps.opus"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param + 6); });

TEST_F(PlaybackEngineTest, EndsAfterEverySamplePlayedOnceAndCanBeSentBack)
{
    ASSERT_TRUE(Start("tone-990-mono.mp3"));
    EXPECT_FALSE(engine.ActiveSound->HasEnded());
    ASSERT_TRUE(WaitForEnd(20000));
    // The end is told a moment early, for the next file to follow in time; the rest plays out.
    EXPECT_TRUE(WaitFor([&] { return engine.GetPlayPos() == 1.0f; }, 30000));
    // One second of tone in 20 ms windows: a buffer lost or played twice would be several off.
    const CaptureFormat mono = {22050, 1};
    ASSERT_TRUE(WaitForCaptureSize(captureStart + mono.BytesFor(1600), 30000));
    const auto track = ToneTrack(ReadCapture(mono, captureStart), 22050, {990}, 20);
    EXPECT_NEAR(std::count(track.begin(), track.end(), 990), 50, 2);

    EXPECT_TRUE(engine.Seek(0.5f));
    EXPECT_FALSE(engine.ActiveSound->HasEnded());
    EXPECT_TRUE(WaitForEnd(20000));
}

TEST_F(PlaybackEngineTest, AnEndedFlacCanBeSentBackToo)
{
    ASSERT_TRUE(Start("tone-770.flac"));
    ASSERT_TRUE(WaitForEnd(20000));
    EXPECT_TRUE(engine.Seek(0.5f));
    EXPECT_FALSE(engine.ActiveSound->HasEnded());
    EXPECT_TRUE(WaitForEnd(20000));
}

// Either way the first file ends at once: a start that replaces it, or a stop (a new list) that
// a start follows.
TEST_F(PlaybackEngineTest, StartingAnotherFileEndsTheFirst)
{
    for (const bool stoppedFirst : {false, true}) {
        SCOPED_TRACE(stoppedFirst ? "stopped, then started" : "replaced by the start");
        const uint64_t playedFrom = CaptureSize();
        ASSERT_TRUE(Start("tone-440.mp3"));
        PlaybackSound* first = engine.ActiveSound;
        ASSERT_TRUE(WaitForCaptureSize(playedFrom + kCdStereo.BytesFor(300), 30000));
        const uint64_t switchedAt = CaptureSize();
        if (stoppedFirst) {
            first->StopSound();
            first->ReleaseSound();
            engine.ActiveSound = nullptr;
        }
        ASSERT_TRUE(Start("tone-770.flac"));
        if (!stoppedFirst) EXPECT_EQ(first->LengthMs(), 3000u);  // let go by the engine, yet still answering

        // The harness gives each device its own pacer process, so how soon the new file's first
        // samples reach the capture varies (seen: up to about 900 ms). Wait for them and 800 ms
        // more; within the bound below, the first file would still be playing then had it not been
        // stopped.
        std::vector<float> heard;
        size_t firstNew = 0;
        const bool arrived = WaitFor(
            [&] {
                heard = ReadCapture(kCdStereo, switchedAt);
                const auto track = ToneTrack(heard, 44100, {440, 770}, 20);
                firstNew = std::find(track.begin(), track.end(), 770) - track.begin();
                return firstNew < track.size() && heard.size() >= (firstNew + 800 / 20) * 882;
            },
            30000);
        ASSERT_TRUE(arrived) << "the second file never came";
        printf("second file heard %zu ms after the switch\n", firstNew * 20);
        ASSERT_LT(firstNew * 20, 1500u) << "the second file came late";
        // From shortly after, nothing of the first file: it was stopped, not mixed. Its device is
        // silenced by its own output thread, and the two devices reach the capture through pacers
        // of their own, so on a loaded machine the new file's first 300 ms may still overlap the
        // old tail (seen: up to about 180 ms).
        const size_t from = (firstNew + 300 / 20) * 882, to = (firstNew + 800 / 20) * 882;
        EXPECT_LT(ToneAmplitude({heard.begin() + from, heard.begin() + to}, 44100, 440), 0.02);
        engine.ActiveSound->StopSound();
        engine.ActiveSound->ReleaseSound();
        engine.ActiveSound = nullptr;
    }
}

// Each start of an mp3 without an info header reads the whole file for its length. The next start
// calls that read off, so going through a folder of audiobooks never piles reads up.
TEST_F(PlaybackEngineTest, TheNextStartCallsOffTheLengthCountOfAnMp3WithoutAnInfoHeader)
{
    // The second is ready before the first starts, so it follows within microseconds, long before
    // the first's six megabytes are counted. Their frames vary in size, so only the count gives
    // their length; the counts run one after the other.
    PreparedSound* next = engine.PrepareSound(MediaPath("tone-1650-vbr-noinfo.mp3").c_str());
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(Start("long-vbr-noinfo.mp3"));
    PlaybackSound* replaced = engine.ActiveSound;
    const uint32_t guessed = replaced->LengthMs();
    ASSERT_TRUE(engine.StartPrepared(next));
    PlaybackSound* current = engine.ActiveSound;
    ASSERT_TRUE(WaitFor([&] { return current->LengthMs() == 3030; }, 30000));
    EXPECT_EQ(replaced->LengthMs(), guessed) << "the replaced sound's count went on";
    ReleaseActive();
}

TEST_F(PlaybackEngineTest, ReleaseOnAnotherThreadWhileTheWindowThreadAsksLeavesNoDeviceOpen)
{
    ASSERT_TRUE(Start("tone-440.mp3"));
    std::atomic<bool> done{false};
    std::thread worker([&] {
        // What a new drop does: stop and release the sound, clear it, start another.
        for (const char* name : {"tone-770.flac", "tone-660.ogg", "tone-770.flac", "tone-660.ogg"}) {
            ReleaseActive();
            Start(name);
        }
        done = true;
    });
    for (int asked = 0; !done; ++asked) {
        engine.GetPlayPos();
        engine.GetPlayTime();
        if (PlaybackSound* sound = engine.ActiveSound) {
            sound->HasEnded();
            sound->GetStreamSource()->GetStreamFormat();
            engine.Pause(asked % 2 == 0);
            engine.Seek(0.25f);
        }
    }
    worker.join();
    ASSERT_NE(engine.ActiveSound, nullptr);
    ReleaseActive();
    // An open device keeps delivering, if only silence: with every sound let go the capture rests.
    EXPECT_TRUE(WaitForCaptureToRest());
}

// The bytes of a file from byte offset from on.
std::vector<unsigned char> ReadBytes(const std::string& path, uint64_t from = 0)
{
    std::vector<unsigned char> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    if (_fseeki64(file, static_cast<int64_t>(from), SEEK_SET) == 0) {
        unsigned char chunk[65536];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    }
    fclose(file);
    return bytes;
}

// Raw 16-bit samples: a generated raw file, or the capture from byte offset from on.
std::vector<int16_t> ReadSamples(const std::string& path, uint64_t from = 0)
{
    const std::vector<unsigned char> bytes = ReadBytes(path, from);
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty()) memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

struct GaplessCase {
    const char* first;
    const char* second;
    int rate;
    bool bitExact;
};

class GaplessTest : public PlaybackEngineTest, public testing::WithParamInterface<GaplessCase> {};

// One sweep cut in two at a sample inside a block: played in a row the way the playback timer does
// (the end is told, the next file starts), the halves must give back the sweep whole.
TEST_P(GaplessTest, TracksOfOneFormatFollowEachOtherWithoutAGap)
{
    const GaplessCase& c = GetParam();
    const std::vector<int16_t> whole = ReadSamples(MediaPath("gapless-whole.raw"));
    ASSERT_GT(whole.size(), 200000u);
    ASSERT_TRUE(Start(c.first));
    ASSERT_TRUE(WaitForEnd(30000));
    ASSERT_TRUE(Start(c.second));
    ASSERT_TRUE(WaitForEnd(30000));
    // The sweep lasts 2.5 s at either rate.
    const CaptureFormat format = {c.rate, 2};
    ASSERT_TRUE(WaitForCaptureSize(captureStart + format.BytesFor(3000), 30000));

    if (c.bitExact) {
        const std::vector<int16_t> heard = ReadSamples(CapturePath(), captureStart);
        const size_t probe = 1024;
        auto start = std::search(heard.begin(), heard.end(), whole.begin(), whole.begin() + probe);
        ASSERT_NE(start, heard.end()) << "the sweep's start was not heard";
        ASSERT_GE(static_cast<size_t>(heard.end() - start), whole.size());
        const auto differ = std::mismatch(whole.begin(), whole.end(), start).first;
        EXPECT_EQ(differ, whole.end()) << "differs from " << (differ - whole.begin()) / 2 * 1000.0 / 44100 << " ms on";
        return;
    }
    // Lossy: no window of 5 ms falls quiet between the first loud one and the last, and the loud
    // span is the sweep's length, so nothing is missing or repeated beyond a few ms.
    const auto track = ReadCapture(format, captureStart);
    const size_t window = c.rate * 5 / 1000;
    std::vector<bool> loud;
    for (size_t at = 0; at + window <= track.size(); at += window) {
        double sum = 0;
        for (size_t i = at; i < at + window; ++i) sum += track[i] * track[i];
        loud.push_back(sum / window > 0.01);
    }
    const auto first = std::find(loud.begin(), loud.end(), true);
    ASSERT_NE(first, loud.end());
    const auto last = std::find(loud.rbegin(), loud.rend(), true).base();
    EXPECT_EQ(std::count(first, last, false), 0) << "a gap between the tracks";
    EXPECT_NEAR((last - first) * 5.0, whole.size() / 2 * 1000.0 / 44100, 15.0);
}

INSTANTIATE_TEST_SUITE_P(PlaybackEngine, GaplessTest,
                         testing::Values(GaplessCase{"gapless-a.flac", "gapless-b.flac", 44100, true},
                                         GaplessCase{"gapless-a.mp3", "gapless-b.mp3", 44100, false},
                                         GaplessCase{"gapless-a.opus", "gapless-b.opus", 48000, false}),
                         [](const testing::TestParamInfo<GaplessCase>& info) {
                             return std::string(strchr(info.param.first, '.') + 1);
                         });

struct GainCase {
    const char* file;
    int rate, channels, tone;
    double amplitude;  // each tone is made at 0.5
};

class ReplayGainTest : public PlaybackEngineTest, public testing::WithParamInterface<GainCase> {};

// The track gain of the tags is heard from the file's first sample on, never past what its peak
// allows; a gain that is no sane number is ignored.
TEST_P(ReplayGainTest, TrackGainScalesTheToneFromItsFirstSample)
{
    const GainCase& c = GetParam();
    ASSERT_TRUE(Start(c.file));
    const CaptureFormat capture = {c.rate, c.channels};
    ASSERT_TRUE(WaitForCaptureSize(captureStart + capture.BytesFor(600), 30000));
    const auto heard = ReadCapture(capture, captureStart, captureStart + capture.BytesFor(600));
    const auto settled = std::vector<float>(heard.begin() + c.rate / 10, heard.end());
    EXPECT_NEAR(ToneAmplitude(settled, c.rate, c.tone), c.amplitude, c.amplitude * 0.08);

    // The first 10 ms of the tone are no louder than the rest: no ramp down from the full level.
    const auto first = std::find_if(heard.begin(), heard.end(), [](float s) { return std::fabs(s) > 0.02f; });
    ASSERT_GT(heard.end() - first, c.rate / 100);
    float peak = 0;
    for (auto s = first; s != first + c.rate / 100; ++s) peak = std::max(peak, std::fabs(*s));
    EXPECT_LT(peak, c.amplitude * 1.15 + 0.02);
}

INSTANTIATE_TEST_SUITE_P(PlaybackEngine, ReplayGainTest,
                         testing::Values(GainCase{"rg-770-half.flac", 44100, 2, 770, 0.25},
                                         GainCase{"rg-660-half.ogg", 48000, 2, 660, 0.25},
                                         GainCase{"rg-440-half.mp3", 44100, 2, 440, 0.25},
                                         GainCase{"rg-1760-half.opus", 48000, 2, 1760, 0.25},
                                         GainCase{"rg-770-peak.flac", 44100, 2, 770, 1.0},
                                         GainCase{"rg-660-garbage.ogg", 48000, 2, 660, 0.5},
                                         GainCase{"rg-770-huge.flac", 44100, 2, 770, 0.5},
                                         GainCase{"tone-770.flac", 44100, 2, 770, 0.5}),
                         [](const testing::TestParamInfo<GainCase>& info) {
                             std::string name = info.param.file;
                             for (char& ch : name) ch = isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// A follower on the same device gets its own gain at its first sample: the sweep's second half,
// tagged at half the level, is heard scaled exactly from where it begins.
TEST_F(PlaybackEngineTest, AFollowerTakesItsOwnReplayGainAtItsFirstSample)
{
    const std::vector<int16_t> whole = ReadSamples(MediaPath("gapless-whole.raw"));
    ASSERT_TRUE(Start("gapless-a.flac"));
    ASSERT_TRUE(WaitForEnd(30000));
    ASSERT_TRUE(Start("gapless-b-half.flac"));
    ASSERT_TRUE(WaitForEnd(30000));
    ASSERT_TRUE(WaitForCaptureSize(captureStart + kCdStereo.BytesFor(3000), 30000));

    const std::vector<int16_t> heard = ReadSamples(CapturePath(), captureStart);
    const auto start = std::search(heard.begin(), heard.end(), whole.begin(), whole.begin() + 1024);
    ASSERT_NE(start, heard.end()) << "the sweep's start was not heard";
    ASSERT_GE(static_cast<size_t>(heard.end() - start), whole.size());
    const size_t cut = 53311 * 2;  // where make-media.sh cut the sweep, in samples
    const int64_t gain = std::lround(std::pow(10.0, -6.02 / 20) * 65536);
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + cut, start));
    size_t differ = whole.size();
    for (size_t i = cut; i < whole.size() && differ == whole.size(); ++i) {
        if (start[i] != static_cast<int16_t>((whole[i] * gain + 0x8000) >> 16)) differ = i;
    }
    EXPECT_EQ(differ, whole.size()) << "differs from sample " << differ - cut << " of the second half";
}

// A 48 kHz file after a 44.1 kHz one cannot follow on its device: it gets one of its own rate and
// is heard whole. It replaces the first as any start does, so the part of the first's last
// kEndLeadMs not yet played may be cut. (The capture holds each device's samples as written, so it
// shows what was lost or mixed, not the rate a device ran at.)
TEST_F(PlaybackEngineTest, AFileOfAnotherRateStartsWholeOnADeviceOfItsOwn)
{
    ASSERT_TRUE(Start("tone-770.flac"));
    ASSERT_TRUE(WaitForEnd(20000));
    ASSERT_TRUE(Start("tone-1760.opus"));
    EXPECT_EQ(engine.ActiveSound->GetStreamSource()->GetStreamFormat().sampleRate, 48000);
    ASSERT_TRUE(WaitForEnd(20000));
    engine.ActiveSound->ReleaseSound();
    engine.ActiveSound = nullptr;
    ASSERT_TRUE(WaitForCaptureToRest());

    // Each tone read at its own rate, in 20 ms windows.
    const auto asCd = ToneTrack(ReadCapture(kCdStereo, captureStart), 44100, {770, 1617}, 20);
    EXPECT_GE(std::count(asCd.begin(), asCd.end(), 770), 50 - audio::WaveOutput::kEndLeadMs / 20);
    const auto asOpus = ToneTrack(ReadCapture({48000, 2}, captureStart), 48000, {838, 1760}, 20);
    EXPECT_NEAR(std::count(asOpus.begin(), asOpus.end(), 1760), 150, 3);
}

TEST_F(PlaybackEngineTest, ReleaseWithoutStopLetsTheLastSamplesPlayOut)
{
    ASSERT_TRUE(Start("tone-770.flac"));
    ASSERT_TRUE(WaitForEnd(20000));
    engine.ActiveSound->ReleaseSound();  // what the player does when the only file has ended
    engine.ActiveSound = nullptr;
    // The device closes once the tail has played: then the capture rests.
    ASSERT_TRUE(WaitForCaptureToRest());
    const auto track = ToneTrack(ReadCapture(kCdStereo, captureStart), 44100, {770}, 20);
    EXPECT_NEAR(std::count(track.begin(), track.end(), 770), 50, 2);
}

// Page CRC of Ogg: CRC-32 with polynomial 0x04c11db7, most significant bit first, over the page
// with its CRC field zeroed.
void FixOggPageCrc(std::vector<unsigned char>& file, size_t pageStart, size_t pageSize)
{
    for (int i = 22; i < 26; ++i) file[pageStart + i] = 0;
    uint32_t crc = 0;
    for (size_t i = pageStart; i < pageStart + pageSize; ++i) {
        crc ^= static_cast<uint32_t>(file[i]) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i) file[pageStart + 22 + i] = static_cast<unsigned char>(crc >> (8 * i));
}

// A header's claims size the output; only mono and stereo at 8 to 384 kHz are believed.
TEST_F(PlaybackEngineTest, OggHeadersClaimingOtherRatesOrChannelsAreRefused)
{
    const std::vector<unsigned char> bytes = ReadBytes(MediaPath("tone-660.ogg"));
    // The first page holds only the identification header: rate at 12, channels at 11.
    ASSERT_GT(bytes.size(), 100u);
    ASSERT_EQ(memcmp(bytes.data(), "OggS", 4), 0);
    const size_t segments = bytes[26];
    size_t pageSize = 27 + segments;
    for (size_t i = 0; i < segments; ++i) pageSize += bytes[27 + i];
    const size_t header = 27 + segments;
    ASSERT_EQ(memcmp(&bytes[header + 1], "vorbis", 6), 0);

    const struct {
        uint32_t rate;
        unsigned char channels;
        bool plays;
    } cases[] = {{48000, 2, true},   {8000, 2, true},        {7999, 2, false},
                 {384001, 2, false}, {0x7fffffff, 2, false}, {48000, 3, false}};
    const std::string folder = MakeTempFolder("lying-ogg");
    for (const auto& c : cases) {
        std::vector<unsigned char> patched = bytes;
        patched[header + 11] = c.channels;
        for (int i = 0; i < 4; ++i) patched[header + 12 + i] = static_cast<unsigned char>(c.rate >> (8 * i));
        FixOggPageCrc(patched, 0, pageSize);
        const std::string path =
            folder + "\\lying-" + std::to_string(c.rate) + "-" + std::to_string(c.channels) + ".ogg";
        ASSERT_TRUE(WriteFileBytes(path, patched.data(), patched.size()));
        EXPECT_EQ(engine.StartPlaying(path.c_str()), c.plays) << c.rate << " Hz, " << int(c.channels) << " channels";
    }
    ReleaseActive();
    RemoveTree(folder);
}

// The rate an Opus header names is only the encoder's input: it decodes at 48 kHz whatever it
// says. A channel count the header's mapping cannot have is refused.
TEST_F(PlaybackEngineTest, OpusHeadersClaimingOtherRatesPlayAt48kHzAndImpossibleChannelsAreRefused)
{
    const std::vector<unsigned char> bytes = ReadBytes(MediaPath("tone-1760.opus"));
    ASSERT_GT(bytes.size(), 100u);
    const size_t segments = bytes[26];
    size_t pageSize = 27 + segments;
    for (size_t i = 0; i < segments; ++i) pageSize += bytes[27 + i];
    const size_t header = 27 + segments;
    ASSERT_EQ(memcmp(&bytes[header], "OpusHead", 8), 0);

    const struct {
        uint32_t rate;
        unsigned char channels;
        bool plays;
    } cases[] = {{0x7fffffff, 2, true}, {0, 2, true}, {48000, 0, false}, {48000, 3, false}, {48000, 255, false}};
    const std::string folder = MakeTempFolder("lying-opus");
    for (const auto& c : cases) {
        std::vector<unsigned char> patched = bytes;
        patched[header + 9] = c.channels;
        for (int i = 0; i < 4; ++i) patched[header + 12 + i] = static_cast<unsigned char>(c.rate >> (8 * i));
        FixOggPageCrc(patched, 0, pageSize);
        const std::string path =
            folder + "\\lying-" + std::to_string(c.rate) + "-" + std::to_string(c.channels) + ".opus";
        ASSERT_TRUE(WriteFileBytes(path, patched.data(), patched.size()));
        ASSERT_EQ(engine.StartPlaying(path.c_str()), c.plays) << c.rate << " Hz, " << int(c.channels) << " channels";
        if (c.plays) {
            EXPECT_EQ(engine.ActiveSound->GetStreamSource()->GetStreamFormat().sampleRate, 48000);
        }
    }
    ReleaseActive();
    RemoveTree(folder);
}

// Noise over some middle pages of an opus: it plays what it can and still ends.
TEST_F(PlaybackEngineTest, AnOpusWithGarbledPagesPlaysAndEnds)
{
    ASSERT_TRUE(Start("garbled-1760.opus"));
    EXPECT_TRUE(WaitForEnd(20000));
    EXPECT_TRUE(engine.Seek(0.9f));
    EXPECT_TRUE(WaitForEnd(20000));
    ReleaseActive();
}

// waveOutGetPosition counts bytes in 32 bits on many devices: 44.1 kHz stereo wraps after 6.8 hours.
TEST(PositionCounter, CountsOnPastThe32BitWrapAndAgainFromZeroAfterARestart)
{
    audio::PositionCounter counter;
    EXPECT_EQ(counter.Extend(1000), 1000u);
    EXPECT_EQ(counter.Extend(0xffffff00u), 0xffffff00u);
    EXPECT_EQ(counter.Extend(0x100u), 0x100000100ull);
    counter.Restart();
    // Eight hours of 44.1 kHz stereo bytes, read every 100 ms.
    uint64_t bytes = 0, counted = 0;
    for (int reading = 0; reading < 8 * 36000; ++reading) {
        bytes += 17640;
        counted = counter.Extend(static_cast<uint32_t>(bytes));
    }
    EXPECT_EQ(counted, bytes);
    counter.Restart();
    EXPECT_EQ(counter.Extend(5), 5u);
}

}  // namespace
