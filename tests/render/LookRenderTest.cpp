// The window composed for each look: which pixels are opaque, clear or in between.
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <string>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "playback/NowPlaying.h"
#include "render/Look.h"
#include "support/TagWriter.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

class LookRender : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);
        folder = MakeTempFolder("look");
        // A track with an opaque orange cover, shown as now playing.
        Gdiplus::Bitmap cover(64, 64, PixelFormat32bppRGB);
        Gdiplus::Graphics(&cover).Clear(Gdiplus::Color(255, 240, 120, 20));
        TagWriter tag;
        tag.AddIsoText("TIT2", "Title").AddIsoText("TPE1", "Artist").AddIsoText("TALB", "Album");
        tag.AddPicture(EncodePicture(cover, L"image/png"));
        path = folder + "\\covered.mp3";
        ASSERT_TRUE(tag.WriteFile(path));
        ASSERT_TRUE(scanner->Scan(path.c_str()));
        UpdateNowPlaying(path.c_str());
        idle = false;
    }
    void TearDown() override
    {
        currentLook = Look::Dark;
        WaitFor([] { return !playlistBuilding; }, 30000);
        playlistVisible = false;
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        RemoveTree(folder);
    }

    // Paints the whole client in look and reads the composed buffer back.
    void Paint(Look look)
    {
        currentLook = look;
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        DIBSECTION section = {};
        HGDIOBJ bitmap = GetCurrentObject(windowDC, OBJ_BITMAP);
        ASSERT_EQ(GetObject(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
        ASSERT_NE(section.dsBm.bmBits, nullptr);
        pixels = static_cast<const DWORD*>(section.dsBm.bmBits);
        width = section.dsBm.bmWidth;
        height = section.dsBm.bmHeight;
    }
    DWORD At(int x, int y) const { return pixels[y * width + x]; }
    static DWORD Alpha(DWORD pixel) { return pixel >> 24; }
    // Pixels of a rectangle whose alpha is above min.
    int CountAlphaAbove(int left, int top, int right, int bottom, DWORD min = 0) const
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) count += Alpha(At(x, y)) > min;
        return count;
    }
    // Pixels whose colour exceeds their alpha: not premultiplied ARGB.
    int CountNotPremultiplied() const
    {
        int count = 0;
        for (int i = 0; i < width * height; ++i) {
            DWORD p = pixels[i], a = Alpha(p);
            count += (p & 0xFF) > a || ((p >> 8) & 0xFF) > a || ((p >> 16) & 0xFF) > a;
        }
        return count;
    }

    HWND window = nullptr;
    std::string folder;
    std::string path;
    const DWORD* pixels = nullptr;
    int width = 0;
    int height = 0;
};

TEST_F(LookRender, DarkIsOpaqueEverywhere)
{
    Paint(Look::Dark);
    EXPECT_EQ(CountAlphaAbove(0, 0, width, height, 254), width * height);
    EXPECT_GT((At(60, 60) >> 16) & 0xFF, 0xC0u) << "the orange cover shows";
    EXPECT_EQ(At(150, 60), 0xFF000000u) << "the backdrop is black";
}

TEST_F(LookRender, BackdropLeavesTheBackdropClearAndDrawsPremultipliedOverIt)
{
    Paint(Look::Backdrop);
    EXPECT_EQ(CountNotPremultiplied(), 0);
    EXPECT_EQ(CountAlphaAbove(146, 20, 158, 120), 0) << "the backdrop between the cover and the details";
    EXPECT_EQ(Alpha(At(60, 60)), 255u) << "the opaque cover";
    EXPECT_GT(CountAlphaAbove(156, 220, 204, 256), 100) << "the play button";
    // The details: light text with a dark halo around it.
    int text = 0, halo = 0;
    for (int y = 20; y < 130; ++y)
        for (int x = 168; x < width; ++x) {
            DWORD p = At(x, y);
            text += Alpha(p) > 0 && (p & 0xFF) > 0x80;
            halo += Alpha(p) > 0 && (p & 0xFFFFFF) == 0;
        }
    EXPECT_GT(text, 100);
    EXPECT_GT(halo, text);

    // The overlay's rows: their texts and pictures the same way, the rest clear.
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));
    Paint(Look::Backdrop);
    EXPECT_EQ(CountNotPremultiplied(), 0);
    EXPECT_EQ(Alpha(At(34, 24)), 255u) << "the row's cover";
    EXPECT_GT(CountAlphaAbove(62, 2, 300, 46), 50) << "the row's texts";
    EXPECT_EQ(CountAlphaAbove(0, 100, 300, 190), 0) << "below the only row";
}

TEST_F(LookRender, GlassLeavesTheBackdropToTheGlassUnderOpaqueArt)
{
    Paint(Look::Glass);
    EXPECT_EQ(CountAlphaAbove(146, 20, 158, 120), 0);
    EXPECT_EQ(Alpha(At(60, 60)), 255u);
}

}  // namespace
