// The playlist overlay against the real window: the row cache, the build, scrolling, the pointer.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "components/Win32Handles.h"
#include "playback/Transport.h"
#include "render/GlowText.h"
#include "render/InfoPanel.h"
#include "render/PlaylistRows.h"
#include "render/PlaylistView.h"
#include "support/TagWriter.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

class Playlist : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(scanner, nullptr);
        folder = MakeTempFolder("playlist");
        hoverRow = -1;
        mouseInList = lastMouseDown = hoverStale = false;
    }
    void TearDown() override
    {
        WaitFor([] { return !playlistBuilding; }, 30000);
        CloseAllDialogs();
        playlistVisible = false;
        scrollPos = scrollTarget = 0;
        DestroyPlayerWindow(window);
        {
            StateLock lock(stateLock);
            DiscardPlaylistRows();
        }
        playlistBuilt = false;
        RemoveTree(folder);
    }

    void AddFiles(const std::string& path, int times)
    {
        for (int i = 0; i < times; ++i) scanner->Scan(path.c_str());
    }
    // Opens the overlay and waits for its build.
    void Open()
    {
        SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
        ASSERT_TRUE(playlistVisible);
        ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));
    }
    static bool RowsReady(int first, int count)
    {
        StateLock lock(stateLock);
        for (int i = first; i < first + count; ++i)
            if (!ReadyPlaylistRow(i)) return false;
        return true;
    }
    static DWORD RowPixel(int index, int x, int y)
    {
        StateLock lock(stateLock);
        PlaylistRow* row = ReadyPlaylistRow(index);
        return row ? GetPixel(row->dc.Get(), x, y) : CLR_INVALID;
    }
    // The process's GDI objects once the composed view exists, which lives as long as the process.
    DWORD Baseline()
    {
        ComposePlaylistView(listRect, windowDC, 0);
        return GdiObjectCount();
    }
    // The colour the window shows at a point of the overlay.
    DWORD WindowPixel(int x, int y) { return GetPixel(windowDC, x, y); }

    HWND window = nullptr;
    std::string folder;
};

std::string WriteTaggedFile(const std::string& folder, const char* name, const char* title, COLORREF cover)
{
    TagWriter tag;
    tag.AddIsoText("TIT2", title).AddIsoText("TPE1", "Artist").AddIsoText("TALB", "Album");
    if (cover != CLR_INVALID) {
        Gdiplus::Bitmap picture(64, 64, PixelFormat32bppRGB);
        Gdiplus::Graphics graphics(&picture);
        graphics.Clear(Gdiplus::Color(GetRValue(cover), GetGValue(cover), GetBValue(cover)));
        tag.AddPicture(EncodePicture(picture, L"image/png"));
    }
    std::string path = folder + "\\" + name;
    EXPECT_TRUE(tag.WriteFile(path));
    return path;
}

}  // namespace

TEST_F(Playlist, RowsShowTextsAndCoverAndReleaseEverythingOnRebuild)
{
    std::string untagged = folder + "\\plain.mp3";
    ASSERT_TRUE(WriteFileBytes(untagged, "not a tag", 9));
    AddFiles(untagged, 1);
    AddFiles(WriteTaggedFile(folder, "red.mp3", "Red", RGB(255, 0, 0)), 2);
    DWORD before = Baseline();
    Open();
    ASSERT_EQ(rowCount, 3);
    EXPECT_EQ(GdiObjectCount() - before, 3u * 2);  // a DC and a bitmap per row

    // The untagged file: its name and "[N/A]" twice, exactly as the row's text draws them.
    PlaylistRow* row = rows[0];
    ASSERT_NE(row, nullptr);
    int differing = 0, inked = 0;
    {
        MemoryDC reference(row->dc.Get());
        DibSection pixels(row->dc.Get(), rowWidth, kRowHeight);
        Selection bitmap(reference.Get(), pixels.Get());
        Selection font(reference.Get(), rowFont);
        GlowText text(10);
        const wchar_t* lines[] = {L"plain.mp3", L"[N/A]", L"[N/A]"};
        RECT line = {62, 2, rowWidth - 12, 16};
        for (const wchar_t* expected : lines) {
            text.Draw(reference.Get(), expected, line, DT_NOPREFIX | DT_WORD_ELLIPSIS);
            line.top = line.bottom;
            line.bottom = line.top == 32 ? 64 : 32;
        }
        for (int y = 0; y < kRowHeight; ++y)
            for (int x = 60; x < rowWidth; ++x) {
                COLORREF want = GetPixel(reference.Get(), x, y);
                differing += RowPixel(0, x, y) != want;
                inked += want != 0;
            }
    }
    EXPECT_GT(inked, 50);
    EXPECT_EQ(differing, 0);
    EXPECT_NE(RowPixel(0, 34, 24), 0u);  // the default picture

    // The cover, scaled into 12, 2, 44 x 44.
    EXPECT_EQ(RowPixel(1, 14, 4), RGB(255, 0, 0));
    EXPECT_EQ(RowPixel(1, 54, 44), RGB(255, 0, 0));
    EXPECT_EQ(RowPixel(1, 9, 24), 0u);
    EXPECT_EQ(RowPixel(1, 59, 24), 0u);
    EXPECT_EQ(RowPixel(1, 34, 0), 0u);
    EXPECT_EQ(RowPixel(1, 34, 47), 0u);

    // The list shrinks: the next build releases every old row.
    {
        StateLock lock(stateLock);
        scanner->CleanMemory();
    }
    AddFiles(untagged, 1);
    ASSERT_TRUE(RebuildPlaylistRows(window, nullptr));
    EXPECT_EQ(rowCount, 1);
    EXPECT_EQ(rows[1], nullptr);
    EXPECT_EQ(GdiObjectCount() - before, 2u);
    ASSERT_TRUE(RebuildPlaylistRows(window, nullptr));
    EXPECT_EQ(GdiObjectCount() - before, 2u);
}

TEST_F(Playlist, SecondOpeningShowsTheBuiltRowsWithoutBuilding)
{
    AddFiles(MediaPath("tone-440.mp3"), 2);
    Open();
    PlaylistRow* first = rows[0];
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    EXPECT_FALSE(playlistVisible);
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    EXPECT_TRUE(playlistVisible);
    EXPECT_FALSE(playlistBuilding);
    EXPECT_EQ(rows[0], first);
}

TEST_F(Playlist, AFailedBuildSaysWhyHidesTheOverlayAndKeepsNoRow)
{
    AddFiles(MediaPath("tone-440.mp3"), 3);
    // A minimized window has no client area, so no row bitmap can be made.
    ShowWindow(window, SW_MINIMIZE);
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    HWND box = WaitForDialog(L"Lumetra", 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(HasText(DialogTexts(box), L"Can't create buffer bitmap"));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !playlistBuilding && !IsWindow(box); }, 30000));
    EXPECT_FALSE(playlistVisible);
    EXPECT_FALSE(playlistBuilt);
    EXPECT_EQ(rowCount, 0);
    for (PlaylistRow* row : rows) EXPECT_EQ(row, nullptr);
    ShowWindow(window, SW_RESTORE);
}

TEST_F(Playlist, KeysAndWheelMoveTheTargetWithinTheList)
{
    rowCount = 10;
    struct Step {
        UINT message;
        WPARAM wParam;
        int expected;
    };
    const Step hidden[] = {{WM_KEYDOWN, VK_END, 0}, {WM_KEYDOWN, VK_NEXT, 0}};
    for (const Step& step : hidden) {
        SendMessageA(window, step.message, step.wParam, 0);
        EXPECT_EQ(scrollTarget, step.expected);
    }
    playlistVisible = true;
    const Step steps[] = {
        {WM_KEYDOWN, VK_NEXT, 192}, {WM_KEYDOWN, VK_NEXT, 288}, {WM_KEYDOWN, VK_NEXT, 288},
        {WM_KEYDOWN, VK_PRIOR, 96}, {WM_KEYDOWN, VK_PRIOR, 0},  {WM_KEYDOWN, VK_END, 288},
        {WM_KEYDOWN, VK_HOME, 0},   {WM_KEYDOWN, VK_DOWN, 48},  {WM_MOUSEWHEEL, MAKEWPARAM(0, 30), 36},
        {WM_KEYDOWN, VK_UP, -12},   {WM_KEYDOWN, VK_UP, -12},   {WM_KEYDOWN, VK_HOME, -12},
    };
    for (const Step& step : steps) {
        SendMessageA(window, step.message, step.wParam, 0);
        EXPECT_EQ(scrollTarget, step.expected) << "after message " << step.message << " " << step.wParam;
    }
    rowCount = 0;
}

TEST_F(Playlist, EasingTakesThirteenStepsForARowAndStopsOnTheFourteenth)
{
    scrollTarget = 48;
    const int expected[] = {10, 18, 25, 30, 34, 37, 40, 42, 44, 45, 46, 47, 48};
    for (int position : expected) {
        ScrollEasingTimerProc(window, WM_TIMER, kScrollTimerId, 0);
        EXPECT_EQ(scrollPos, position);
        EXPECT_TRUE(scrollTimerActive);
    }
    ScrollEasingTimerProc(window, WM_TIMER, kScrollTimerId, 0);
    EXPECT_EQ(scrollPos, 48);
    EXPECT_FALSE(scrollTimerActive);
}

TEST_F(Playlist, PointerTintsTheRowUnderItAndAReleasePlaysIt)
{
    AddFiles(MediaPath("tone-440.mp3"), 10);
    Open();
    ASSERT_TRUE(RowsReady(0, 10));
    scrollPos = scrollTarget = 96;
    // Right of the rows the view is black, so a tint there shows as its own green.
    const int x = listRect.right - 2;
    TrackPlaylistPointer(100, window, true);
    EXPECT_EQ(hoverRow, 2);
    EXPECT_EQ(WindowPixel(x, 96), RGB(0, 35, 0));
    EXPECT_EQ(WindowPixel(x, 143), RGB(0, 35, 0));
    EXPECT_EQ(WindowPixel(x, 95), 0u);
    EXPECT_EQ(WindowPixel(x, 144), 0u);
    TrackPlaylistPointer(100, window, false);
    EXPECT_EQ(WindowPixel(x, 120), RGB(0, 12, 0));
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 4);
    ASSERT_NE(engine->ActiveSound, nullptr);
    EXPECT_FALSE(idle);

    // Shift held: the flag is not the left button alone, so nothing but the hover tint.
    currentIndex = 0;
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(x, 10));
    SendMessageA(window, WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(x, 10));
    EXPECT_EQ(currentIndex, 0);
    EXPECT_EQ(WindowPixel(x, 10), RGB(0, 12, 0));
    EXPECT_EQ(WindowPixel(x, 120), 0u);
}

TEST_F(Playlist, WithTwoFilesOnlyTheirRowsCountAndLeavingClearsTheTint)
{
    AddFiles(MediaPath("tone-440.mp3"), 2);
    Open();
    const int x = listRect.right - 2;
    TrackPlaylistPointer(95, window, false);
    EXPECT_TRUE(mouseInList);
    EXPECT_EQ(WindowPixel(x, 95), RGB(0, 12, 0));
    TrackPlaylistPointer(96, window, false);
    EXPECT_FALSE(mouseInList);
    EXPECT_EQ(WindowPixel(x, 95), 0u);
    TrackPlaylistPointer(150, window, false);  // outside again: nothing more happens
    TrackPlaylistPointer(150, window, true);
    TrackPlaylistPointer(150, window, false);
    EXPECT_EQ(engine->ActiveSound, nullptr);
}

// The window closed while its rows are still rendered: the teardown does not wait for the worker,
// which finds the window gone and ends.
TEST_F(Playlist, ClosingWhileRowsAreBuiltTakesUnderTwoSecondsAndEndsTheBuild)
{
    AddFiles(MediaPath("tone-1540-id3.mp3"), 2000);
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    ASSERT_TRUE(playlistBuilding) << "the build was over before the close";
    const DWORD closed = GetTickCount();
    DestroyPlayerWindow(window);
    EXPECT_LT(GetTickCount() - closed, 2000u);
    EXPECT_TRUE(WaitFor([] { return !playlistBuilding; }, 30000));
}

TEST_F(Playlist, ALongListIsReachableEndToEndWithBoundedRows)
{
    const int files = 5000;
    AddFiles(MediaPath("tone-440.mp3"), files);
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    ASSERT_TRUE(WaitFor([] { return rowCount == 5000 && RowsReady(0, 4); }, 30000));
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));

    SendMessageA(window, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(scrollTarget, files * kRowHeight - kVisibleListHeight);
    ASSERT_TRUE(WaitFor([] { return RowsReady(4996, 4) && scrollPos == scrollTarget; }, 30000));
    EXPECT_NE(RowPixel(4999, 34, 24), 0u);
    TrackPlaylistPointer(150, window, true);
    TrackPlaylistPointer(150, window, false);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 4999);

    SendMessageA(window, WM_KEYDOWN, VK_HOME, 0);
    ASSERT_TRUE(WaitFor([] { return RowsReady(0, 4) && !playlistBuilding; }, 30000));
    int held = 0;
    for (PlaylistRow* row : rows) held += row != nullptr;
    EXPECT_LE(held, kRowSlots);
    EXPECT_LT(GdiObjectCount(), 2000u);
}

TEST_F(Playlist, AListReplacedDuringTheBuildNeverShowsTheOldRows)
{
    AddFiles(MediaPath("tone-440.mp3"), 150);
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    ASSERT_TRUE(WaitFor([] { return rowCount > 0 || rows[20] != nullptr; }, 30000));
    {
        StateLock lock(stateLock);  // as an intake replaces the list
        playlistBuilt = false;
        scanner->CleanMemory();
    }
    AddFiles(MediaPath("tone-660.ogg"), 3);
    ASSERT_TRUE(WaitFor([] { return !playlistBuilding; }, 30000));
    {
        StateLock lock(stateLock);
        EXPECT_TRUE(rowCount == 0 || (playlistBuilt && PlaylistRowsCurrent()));
    }
    playlistVisible = false;
    Open();
    StateLock lock(stateLock);
    EXPECT_EQ(rowCount, 3);
    EXPECT_TRUE(PlaylistRowsCurrent());
}

namespace {

// Light pixels the window shows in a rectangle (read back through its kept DC).
int LightPixelsOnWindow(int left, int top, int right, int bottom)
{
    MemoryDC memory(windowDC);
    DibSection copy(windowDC, right - left, bottom - top);
    if (!memory.Get() || !copy.Get()) return -1;
    Selection selection(memory.Get(), copy.Get());
    BitBlt(memory.Get(), 0, 0, right - left, bottom - top, windowDC, left, top, SRCCOPY);
    GdiFlush();
    int light = 0;
    for (int i = 0; i < (right - left) * (bottom - top); ++i) {
        DWORD pixel = copy.Pixels()[i];
        light += (pixel & 0xFF) > 0x80 && ((pixel >> 8) & 0xFF) > 0x80 && ((pixel >> 16) & 0xFF) > 0x80;
    }
    return light;
}

}  // namespace

// Row workers make their DCs from a DC of their own while the window thread draws on its kept DC:
// builds under track changes and the panel drawn all the while neither fail nor lose a block.
TEST_F(Playlist, BuildsDuringTrackChangesNeverFailAndLeaveThePanelWhole)
{
    AddFiles(MediaPath("tone-1540-id3.mp3"), 40);
    const bool plain = !GlowText(15).ShowsGlow();  // glow text is not light pixels to count
    MessageBoxCloser boxes;
    int panels = 0;
    int incomplete = 0;
    for (int round = 0; round < 15 && boxes.Closed() == 0; ++round) {
        playlistBuilt = false;                       // each opening builds again, with new rows
        SendMessageA(window, WM_KEYDOWN, VK_F1, 0);  // opens, and a build starts
        SendMessageA(window, WM_KEYDOWN, VK_F1, 0);  // closes; the build goes on
        PlayTrackAt(window, round % 40);
        do {
            DrawInfoPanel();
            ++panels;
            if (plain && (LightPixelsOnWindow(170, 20, 360, 130) < 100 || LightPixelsOnWindow(15, 144, 355, 194) < 30))
                ++incomplete;
        } while (playlistBuilding);
        WaitForStarts();
    }
    printf("%d panels drawn during builds\n", panels);
    EXPECT_EQ(boxes.Closed(), 0) << "a build failed";
    EXPECT_EQ(incomplete, 0) << "panels that missed a block";
}
