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
            const bool started = WaitFor([&] { return !intakeActive && Active() != nullptr && Active() != previous; },
                                         30000);
            EXPECT_TRUE(started) << "forward " << forward;
            if (!started) break;
            previous = Active();
        }
        worstMs = probe.Finish();
    }
    printf("worst answer while starting: %.1f ms\n", worstMs);
    EXPECT_LT(worstMs, 100.0);
    // 120 copies of 836 frames of 576 samples at 8 kHz.
    EXPECT_TRUE(WaitFor([] {
        StateLock lock(stateLock);
        return engine && engine->ActiveSound && engine->ActiveSound->LengthMs() == 7223040;
    }, 30000));
    DestroyPlayerWindow(window);
}
