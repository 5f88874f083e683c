// The window stays responsive while long files start: nothing slow runs under the state lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "app/PlayerState.h"
#include "components/PlaybackEngine.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

PlaybackSound* Active()
{
    StateLock lock(stateLock);
    return engine ? engine->ActiveSound : nullptr;
}

// Sends the window mouse moves (which it handles under the state lock) from another thread, one
// after the other, and keeps the longest wait for an answer.
class LatencyProbe {
public:
    explicit LatencyProbe(HWND window) : thread([this, window] { Run(window); }) {}
    ~LatencyProbe() { Finish(); }

    // Pumps this (the window's) thread meanwhile: the last message sent must be answered.
    double Finish()
    {
        running = false;
        WaitFor([this] { return done.load(); }, 30000);
        if (thread.joinable()) thread.join();
        return worstMs;
    }

private:
    void Run(HWND window)
    {
        LARGE_INTEGER frequency, before, after;
        QueryPerformanceFrequency(&frequency);
        while (running) {
            DWORD_PTR result = 0;
            QueryPerformanceCounter(&before);
            SendMessageTimeoutA(window, WM_MOUSEMOVE, 0, MAKELPARAM(340, 270), SMTO_NORMAL, 10000, &result);
            QueryPerformanceCounter(&after);
            const double ms = (after.QuadPart - before.QuadPart) * 1000.0 / frequency.QuadPart;
            worstMs = std::max(worstMs.load(), ms);
            Sleep(5);
        }
        done = true;
    }

    std::atomic<bool> running{true};
    std::atomic<bool> done{false};
    std::atomic<double> worstMs{0};
    std::thread thread;
};

}  // namespace

TEST(StartLatency, TheWindowAnswersWithin100MsWhileATwoHourMp3IsForwardedThreeTimes)
{
    HWND window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    // Without an info header: its length takes a pass over all of its 100,000 frames.
    std::string text = "\"" + MediaPath("silence-2h.mp3") + "\"";
    double worstMs = 0;
    {
        LatencyProbe probe(window);
        PlaybackSound* previous = nullptr;
        for (int forward = 0; forward < 3; ++forward) {
            COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), &text[0]};
            SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
            const bool started =
                WaitFor([&] { return !intakeActive && Active() != nullptr && Active() != previous; }, 30000);
            EXPECT_TRUE(started) << "forward " << forward;
            if (!started) break;
            previous = Active();
        }
        worstMs = probe.Finish();
    }
    printf("worst answer while starting: %.1f ms\n", worstMs);
    EXPECT_LT(worstMs, 100.0);
    // 120 copies of 836 frames of 576 samples at 8 kHz.
    EXPECT_TRUE(WaitFor(
        [] {
            StateLock lock(stateLock);
            return engine && engine->ActiveSound && engine->ActiveSound->LengthMs() == 7223040;
        },
        30000));
    DestroyPlayerWindow(window);
}

namespace {

// Drags the seek bar from its left end to its right end, quickly, and slowly back to its middle
// from another thread, and keeps the longest wait for the window to answer a move.
double DragSeekBarEndToEnd(HWND window)
{
    const int y = 209;
    double worstMs = 0;
    std::atomic<bool> done{false};
    std::thread drag([&] {
        LARGE_INTEGER frequency, before, after;
        QueryPerformanceFrequency(&frequency);
        auto send = [&](UINT message, int x, WPARAM keys) {
            DWORD_PTR result = 0;
            QueryPerformanceCounter(&before);
            SendMessageTimeoutA(window, message, keys, MAKELPARAM(x, y), SMTO_NORMAL, 10000, &result);
            QueryPerformanceCounter(&after);
            worstMs = std::max(worstMs, (after.QuadPart - before.QuadPart) * 1000.0 / frequency.QuadPart);
        };
        send(WM_MOUSEMOVE, 11, 0);
        send(WM_LBUTTONDOWN, 11, MK_LBUTTON);
        // A quick drag arrives as a few moves far apart: each asks for a long way through the file.
        for (int x = 60; x <= 349; x += 60) send(WM_MOUSEMOVE, x, MK_LBUTTON);
        send(WM_MOUSEMOVE, 349, MK_LBUTTON);
        for (int x = 349; x >= 180; x -= 3) send(WM_MOUSEMOVE, x, MK_LBUTTON);
        send(WM_MOUSEMOVE, 180, MK_LBUTTON);
        send(WM_LBUTTONUP, 180, 0);
        done = true;
    });
    WaitFor([&] { return done.load(); }, 60000);
    drag.join();
    return worstMs;
}

float PlayPos()
{
    StateLock lock(stateLock);
    return engine ? engine->GetPlayPos() : 0.0f;
}

}  // namespace

// An mp3 without an index is read frame by frame up to a seek's target: that happens on the
// output thread, between buffers, never while the window waits.
TEST(StartLatency, TheWindowAnswersWithin100MsWhileTheSeekBarIsDraggedAcrossATwoHourMp3)
{
    HWND window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    std::string text = "\"" + MediaPath("silence-2h.mp3") + "\"";
    COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), &text[0]};
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    ASSERT_TRUE(WaitFor([] { return !intakeActive && Active() != nullptr; }, 30000));

    const double worstMs = DragSeekBarEndToEnd(window);
    printf("worst answer while dragging: %.1f ms\n", worstMs);
    EXPECT_LT(worstMs, 100.0);
    // Released at the middle: the bar shows it at once, and the sound goes on from there.
    const float released = PlayPos();
    EXPECT_NEAR(released, 0.5f, 0.01f);
    const float oneSecond = 1000.0f / 7223040.0f;
    EXPECT_TRUE(WaitFor([&] { return PlayPos() > released + oneSecond; }, 30000)) << "the sound did not go on";
    EXPECT_LT(PlayPos(), 0.52f);
    DestroyPlayerWindow(window);
}
