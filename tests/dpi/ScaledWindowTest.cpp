// The window at a display scale above 100 %: this program runs in a prefix whose system DPI is
// LUMETRA_TEST_DPI (144 or 192), and again for the other.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/DisplayScale.h"
#include "app/PlayerState.h"
#include "app/Skin.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/SkinImage.h"
#include "render/PlaylistRows.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

struct Place {
    int x, y, width, height;
    bool operator==(const Place& other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};

void PrintTo(const Place& p, std::ostream* out)
{
    *out << "(" << p.x << ", " << p.y << ", " << p.width << " x " << p.height << ")";
}

template <typename T>
Place PlaceOf(const T* object)
{
    return object ? Place{object->x, object->y, object->width, object->height} : Place{-1, -1, -1, -1};
}

Place At(const Place& at96, int dpi)
{
    return {MulDiv(at96.x, dpi, 96), MulDiv(at96.y, dpi, 96), MulDiv(at96.width, dpi, 96),
            MulDiv(at96.height, dpi, 96)};
}

// The controls and their places on the 360 x 290 window at 100 %.
struct Control {
    const char* name;
    ImageButton** button;
    Place at96;
};
const Control kButtons[] = {
    {"play", &playButton, {156, 220, 48, 36}},
    {"next", &nextButton, {230, 220, 50, 36}},
    {"previous", &prevButton, {80, 220, 50, 36}},
    {"random", &randomOffButton, {20, 230, 20, 20}},
    {"playlist", &showPlaylistButton, {320, 230, 20, 20}},
    {"seek bar", &seekBar, {10, 202, 340, 14}},
};

class ScaledWindow : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SystemDpi(), LUMETRA_TEST_DPI) << "the harness did not give the prefix its scale";
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(playButton, nullptr);
    }
    void TearDown() override
    {
        WaitFor([] { return !playlistBuilding; }, 30000);
        playlistVisible = false;
        DestroyPlayerWindow(window);
        StateLock lock(stateLock);
        DiscardPlaylistRows();
        playlistBuilt = false;
    }
    void ExpectLaidOutAt(int dpi)
    {
        RECT outer = {};
        GetWindowRect(window, &outer);
        EXPECT_EQ(outer.right - outer.left, MulDiv(360, dpi, 96));
        EXPECT_EQ(outer.bottom - outer.top, MulDiv(290, dpi, 96));
        for (const Control& control : kButtons)
            EXPECT_EQ(PlaceOf(*control.button), At(control.at96, dpi)) << control.name;
        EXPECT_EQ(PlaceOf(pauseButton), PlaceOf(playButton));
        const Place progress = At({13, 202, 0, 14}, dpi);  // its 3 px inset rounds either way
        EXPECT_NEAR(seekProgress->x, progress.x, 1);
        EXPECT_EQ(seekProgress->y, progress.y);
        EXPECT_EQ(seekProgress->height, progress.height);
        EXPECT_EQ(PlaceOf(defaultAlbumArt), At({14, 8, 130, 130}, dpi));
        EXPECT_EQ(PlaceOf(aboutImage), At({0, 0, 360, 200}, dpi));
        EXPECT_EQ(listRect.right, MulDiv(350, dpi, 96));
        EXPECT_EQ(rowHeight, MulDiv(48, dpi, 96));
        EXPECT_EQ(visibleListHeight, 4 * rowHeight);
    }
    void SendDpiChange(int dpi)
    {
        RECT outer = {};
        GetWindowRect(window, &outer);
        RECT suggested = {outer.left, outer.top, outer.left + MulDiv(360, dpi, 96), outer.top + MulDiv(290, dpi, 96)};
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    }
    void OpenOverlayOfFiles(int count)
    {
        for (int i = 0; i < count; ++i) scanner->Scan(MediaPath("tone-440.mp3").c_str());
        SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
        ASSERT_TRUE(playlistVisible);
        ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));
    }
    static int FirstRowHeight()
    {
        StateLock lock(stateLock);
        PlaylistRow* row = ReadyPlaylistRow(0);
        BITMAP shape = {};
        return row && GetObject(row->bitmap.Get(), sizeof shape, &shape) ? shape.bmHeight : 0;
    }

    HWND window = nullptr;
};

// Mean difference per channel between the window's pixels in place and image drawn there over black.
double DifferenceFromImage(const Place& place, Gdiplus::Image* image)
{
    Gdiplus::Bitmap expected(place.width, place.height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&expected);
        graphics.Clear(Gdiplus::Color(0xFF000000));
        DrawSkinImage(&graphics, image, 0, 0, place.width, place.height);
    }
    double total = 0;
    for (int y = 0; y < place.height; ++y)
        for (int x = 0; x < place.width; ++x) {
            const COLORREF shown = GetPixel(windowDC, place.x + x, place.y + y);
            Gdiplus::Color drawn;
            expected.GetPixel(x, y, &drawn);
            total += abs(GetRValue(shown) - drawn.GetR()) + abs(GetGValue(shown) - drawn.GetG()) +
                     abs(GetBValue(shown) - drawn.GetB());
        }
    return total / (3.0 * place.width * place.height);
}

}  // namespace

TEST(SkinSets, TheNearestSetAtOrAboveTheScaleIsTaken)
{
    const struct {
        int dpi, percent;
    } cases[] = {{96, 100},  {97, 125},  {120, 125}, {144, 150}, {168, 175},
                 {192, 200}, {216, 250}, {288, 300}, {480, 300}};
    for (const auto& c : cases) EXPECT_EQ(SkinSetPercent(c.dpi), c.percent) << c.dpi;
}

TEST_F(ScaledWindow, WindowControlsAndOverlayTakeTheScale)
{
    ExpectLaidOutAt(LUMETRA_TEST_DPI);
}

TEST_F(ScaledWindow, ControlsAnswerAtTheirScaledPlacesOnly)
{
    for (const Control& control : kButtons) {
        const Place at = At(control.at96, LUMETRA_TEST_DPI);
        SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(at.x + at.width - 2, at.y + at.height - 2));
        EXPECT_EQ((*control.button)->look, ImageButton::Hover) << control.name;
    }
    // Where the playlist button is at 100 % there is nothing now.
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(330, 240));
    EXPECT_EQ(showPlaylistButton->look, ImageButton::Normal);
    const Place random = At(kButtons[3].at96, LUMETRA_TEST_DPI);
    const LPARAM inside = MAKELPARAM(random.x + random.width / 2, random.y + random.height / 2);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    SendMessageA(window, WM_LBUTTONUP, 0, inside);
    EXPECT_TRUE(randomPlay);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    SendMessageA(window, WM_LBUTTONUP, 0, inside);
    EXPECT_FALSE(randomPlay);
}

TEST_F(ScaledWindow, ButtonsShowTheSetMadeForTheScaleNotAStretchedOne)
{
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));  // every button in its normal look
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_NE(windowDC, nullptr);
    const std::wstring theme = std::wstring(executableFolder) + L"DefaultTheme\\";
    const std::wstring set = theme + std::to_wstring(SkinSetPercent(LUMETRA_TEST_DPI)) + L"\\";
    for (const wchar_t* name : {L"Play.mtx", L"Next.mtx", L"ShowPlaylist.mtx"}) {
        ImageButton* button = name[0] == L'P' ? playButton : name[0] == L'N' ? nextButton : showPlaylistButton;
        std::unique_ptr<Gdiplus::Bitmap> sharp(LoadMtxImage((set + name).c_str()));
        std::unique_ptr<Gdiplus::Bitmap> stretched(LoadMtxImage((theme + name).c_str()));
        EXPECT_EQ(static_cast<int>(sharp->GetHeight()), button->height);
        const double fromSharp = DifferenceFromImage(PlaceOf(button), sharp.get());
        const double fromStretched = DifferenceFromImage(PlaceOf(button), stretched.get());
        EXPECT_LT(fromSharp, 1.0) << "shown as rendered for the scale";
        EXPECT_GT(fromStretched, 2 * fromSharp + 1.0) << "and unlike the 100 % picture drawn larger";
    }
}

TEST_F(ScaledWindow, OverlayRowsAreAsHighAsTheScaleAndPointedAtByIt)
{
    OpenOverlayOfFiles(5);
    EXPECT_EQ(FirstRowHeight(), MulDiv(48, LUMETRA_TEST_DPI, 96));
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(100, rowHeight + rowHeight / 2));
    EXPECT_EQ(hoverRow, 1);
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(100, 4 * rowHeight - 2));
    EXPECT_EQ(hoverRow, 3);
}

TEST_F(ScaledWindow, MovingToAnotherScaleLaysOutAgainAndComesBackWithoutLeaks)
{
    const int other = LUMETRA_TEST_DPI == 144 ? 192 : 144;
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);  // its icons follow too
    OpenOverlayOfFiles(5);
    SendDpiChange(other);
    SendDpiChange(LUMETRA_TEST_DPI);
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));
    const DWORD before = GdiObjectCount();

    SendDpiChange(other);
    ExpectLaidOutAt(other);
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));
    EXPECT_EQ(FirstRowHeight(), MulDiv(48, other, 96)) << "rows drawn again at the new size";
    SendDpiChange(LUMETRA_TEST_DPI);
    ExpectLaidOutAt(LUMETRA_TEST_DPI);
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));
    EXPECT_EQ(FirstRowHeight(), MulDiv(48, LUMETRA_TEST_DPI, 96));
    // Fewer at most: a row font kept for a worker that drew at the old scale may go meanwhile.
    EXPECT_LE(GdiObjectCount(), before);
}

TEST_F(ScaledWindow, AThemeWithOnlyItsHundredPercentFilesStillLoadsDrawnLarger)
{
    const std::string folder = MakeTempFolder("own-theme");
    const std::string dist = DistFolder();
    CreateDirectoryA((folder + "\\DefaultTheme").c_str(), nullptr);
    CopyFileA((dist + "About.mtx").c_str(), (folder + "\\About.mtx").c_str(), FALSE);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dist + "DefaultTheme\\*.mtx").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        CopyFileA((dist + "DefaultTheme\\" + found.cFileName).c_str(),
                  (folder + "\\DefaultTheme\\" + found.cFileName).c_str(), FALSE);
    } while (FindNextFileA(find, &found));
    FindClose(find);

    const std::wstring saved = executableFolder;
    MultiByteToWideChar(CP_ACP, 0, (folder + "\\").c_str(), -1, executableFolder, MAX_PATH);
    SendDpiChange(LUMETRA_TEST_DPI == 144 ? 192 : 144);
    wcscpy(executableFolder, saved.c_str());

    EXPECT_EQ(playButton->normalImage->GetHeight(), 36u) << "the 100 % picture";
    EXPECT_EQ(playButton->height, MulDiv(36, LUMETRA_TEST_DPI == 144 ? 192 : 144, 96));
    RemoveTree(folder);
}
