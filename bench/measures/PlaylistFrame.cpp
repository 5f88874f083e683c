// playlist-frame: window-thread time of one easing step and of one hover redraw (the slower of
// the two is reported), against one BitBlt of the 350 x 192 view onto the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/Win32Handles.h"
#include "render/PlaylistView.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const int kRuns = 300;

double Microseconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1e6 / frequency.QuadPart;
}

template <typename Step>
double MedianMicroseconds(Step step)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        double start = Microseconds();
        step(i);
        GdiFlush();
        times.push_back(Microseconds() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

TEST(Measure, PlaylistFrame)
{
    HWND window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < 20; ++i) scanner->Scan(MediaPath("tone-440.mp3").c_str());
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 60000));

    MemoryDC source(windowDC);
    DibSection view(windowDC, 350, kVisibleListHeight);
    Selection selection(source.Get(), view.Get());
    double blit =
        MedianMicroseconds([&](int) { BitBlt(windowDC, 0, 0, 350, kVisibleListHeight, source.Get(), 0, 0, SRCCOPY); });

    double easing = MedianMicroseconds([&](int i) {
        if (i % 12 == 0) {  // a fresh row step every dozen ticks, so every tick moves the view
            scrollPos = 0;
            scrollTarget = 480;
        }
        ScrollEasingTimerProc(window, WM_TIMER, kScrollTimerId, 0);
    });
    KillTimer(window, kScrollTimerId);
    scrollPos = scrollTarget = 0;

    double hover = MedianMicroseconds([&](int i) { TrackPlaylistPointer(i % 2 ? 10 : 60, window, false); });

    fprintf(stderr, "playlist-frame: easing step %.1f us, hover redraw %.1f us, blit %.1f us\n", easing, hover, blit);
    printf("measure playlist-frame ours=%.1f floor=%.1f unit=us\n", std::max(easing, hover), blit);
    fflush(stdout);
    playlistVisible = false;
    DestroyPlayerWindow(window);
}
