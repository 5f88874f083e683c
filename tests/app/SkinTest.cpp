// Window creation: the skin's layout, the first paint, and a skin file that is missing.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/PlayerState.h"
#include "app/Skin.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "render/MainView.h"
#include "support/Audio.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

struct Place {
    int x, y, width, height;
};

template <typename T>
Place PlaceOf(const T* object)
{
    return {object->x, object->y, object->width, object->height};
}

bool operator==(const Place& a, const Place& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

void PrintTo(const Place& p, std::ostream* out)
{
    *out << "(" << p.x << ", " << p.y << ", " << p.width << " x " << p.height << ")";
}

class Skin : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { DestroyPlayerWindow(window); }
    HWND window = nullptr;
};

// Is the square around (x, y) anything but black?
bool Lit(Gdiplus::Bitmap& bitmap, int x, int y, int size)
{
    for (int dy = 0; dy < size; ++dy)
        for (int dx = 0; dx < size; ++dx) {
            Gdiplus::Color color;
            bitmap.GetPixel(x + dx, y + dy, &color);
            if (color.GetR() > 40 || color.GetG() > 40 || color.GetB() > 40) return true;
        }
    return false;
}

}  // namespace

TEST_F(Skin, ControlsLandAtTheirPlacesOnA360By290Window)
{
    EXPECT_EQ(PlaceOf(playButton), (Place{156, 220, 48, 36}));
    EXPECT_EQ(PlaceOf(pauseButton), (Place{156, 220, 48, 36}));
    EXPECT_EQ(PlaceOf(nextButton), (Place{230, 220, 50, 36}));
    EXPECT_EQ(PlaceOf(prevButton), (Place{80, 220, 50, 36}));
    EXPECT_EQ(PlaceOf(randomOnButton), (Place{20, 230, 20, 20}));
    EXPECT_EQ(PlaceOf(randomOffButton), (Place{20, 230, 20, 20}));
    EXPECT_EQ(PlaceOf(showPlaylistButton), (Place{320, 230, 20, 20}));
    EXPECT_EQ(PlaceOf(seekBar), (Place{10, 202, 340, 14}));
    EXPECT_EQ(PlaceOf(seekProgress), (Place{13, 202, 0, 14}));
    EXPECT_EQ(PlaceOf(defaultAlbumArt), (Place{14, 8, 130, 130}));
    EXPECT_EQ(PlaceOf(trackAlbumArt), (Place{14, 8, 130, 130}));
    EXPECT_EQ(PlaceOf(aboutImage), (Place{0, 0, 360, 200}));
}

TEST_F(Skin, StartsWithPlayRandomOffDefaultArtAndEverythingMade)
{
    EXPECT_EQ(playPauseButton, playButton);
    EXPECT_EQ(randomButton, randomOffButton);
    EXPECT_EQ(albumArt, defaultAlbumArt);
    EXPECT_TRUE(idle);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_EQ(hoverRow, -1);
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(scanner, nullptr);
    EXPECT_NE(windowDC, nullptr);

    // The filters are mp3, ogg, flac and opus.
    std::string folder = MakeTempFolder("filters");
    for (const char* name : {"a.mp3", "b.ogg", "c.flac", "d.opus", "e.wav", "f.txt"})
        WriteFileBytes(folder + "\\" + name, "x", 1);
    scanner->Scan(folder.c_str());
    EXPECT_EQ(scanner->GetNoOfFiles(), 4);
    RemoveTree(folder);
}

TEST_F(Skin, ExecutableFolderIsTheTestProgramsOwn)
{
    std::string expected = TestBinFolder();
    char folder[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, executableFolder, -1, folder, MAX_PATH, nullptr, nullptr);
    EXPECT_STREQ(folder, expected.c_str());
}

TEST_F(Skin, FirstPaintShowsTheAboutPictureAndTheSixButtons)
{
    Gdiplus::Bitmap canvas(360, 290, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        PaintControlLayer(&graphics);
    }
    EXPECT_TRUE(Lit(canvas, 0, 0, 200)) << "About picture";  // somewhere in its upper part
    EXPECT_TRUE(Lit(canvas, 156, 220, 48)) << "play";
    EXPECT_TRUE(Lit(canvas, 230, 220, 36)) << "next";
    EXPECT_TRUE(Lit(canvas, 80, 220, 36)) << "previous";
    EXPECT_TRUE(Lit(canvas, 20, 230, 20)) << "random";
    EXPECT_TRUE(Lit(canvas, 320, 230, 20)) << "playlist";
    EXPECT_TRUE(Lit(canvas, 10, 202, 14)) << "seek bar";
    EXPECT_FALSE(Lit(canvas, 0, 262, 8)) << "backdrop below the buttons";

    // The window itself paints without leaking GDI objects.
    DWORD before = GdiObjectCount();
    for (int i = 0; i < 50; ++i) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(GdiObjectCount(), before);
}

namespace {

// A copy of the portable program without one of its files, started as a process.
class BrokenInstall : public testing::Test {
protected:
    void SetUp() override
    {
        folder = MakeTempFolder("install");
        std::string dist = DistFolder();
        CopyFileA((dist + "Lumetra.exe").c_str(), (folder + "\\Lumetra.exe").c_str(), FALSE);
        CopyFileA((dist + "About.mtx").c_str(), (folder + "\\About.mtx").c_str(), FALSE);
        CreateDirectoryA((folder + "\\DefaultTheme").c_str(), nullptr);
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((dist + "DefaultTheme\\*.mtx").c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do {
            CopyFileA((dist + "DefaultTheme\\" + data.cFileName).c_str(),
                      (folder + "\\DefaultTheme\\" + data.cFileName).c_str(), FALSE);
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    void TearDown() override { RemoveTree(folder); }

    // Runs the copy with the arguments given, opens the details of the failure dialog it shows,
    // calls whileShown, reads the dialog and presses OK.
    void RunAndReadFailure(std::vector<std::wstring>& texts, DWORD& exitCode, const std::string& arguments = "",
                           const std::function<void()>& whileShown = nullptr)
    {
        ChildProcess player("\"" + folder + "\\Lumetra.exe\"" + arguments);
        ASSERT_TRUE(player.Started());
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                dialog = FindWindowA("#32770", "Lumetra.exe");
                return dialog && IsWindowVisible(dialog);
            },
            30000));
        HWND toggle = WaitForControl(dialog, L"Show technical details", 30000);
        ASSERT_NE(toggle, nullptr);
        SendMessageW(toggle, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return HasText(DialogTexts(dialog), L"Hide technical details"); }, 30000));
        if (whileShown) whileShown();
        texts = DialogTexts(dialog);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ProcessResult result = player.Wait(20000);
        ASSERT_TRUE(result.finished);
        exitCode = result.exitCode;
    }

    bool MentionsFile(const std::vector<std::wstring>& texts, const wchar_t* name)
    {
        for (const std::wstring& t : texts)
            if (t.find(name) != std::wstring::npos &&
                t != L"Some file(s) required to load the program are missing\nPlease reinstall the program.")
                return true;
        return false;
    }

    std::string folder;
};

}  // namespace

TEST_F(BrokenInstall, MissingNextButtonIsReportedAndEndsWithOne)
{
    ASSERT_TRUE(DeleteFileA((folder + "\\DefaultTheme\\Next.mtx").c_str()));
    std::vector<std::wstring> texts;
    DWORD exitCode = 0;
    ASSERT_NO_FATAL_FAILURE(RunAndReadFailure(texts, exitCode));
    EXPECT_EQ(exitCode, 1u);
    EXPECT_TRUE(HasText(texts, L"Orvandel's Lumetra failed to load"));
    EXPECT_TRUE(
        HasText(texts, L"Some file(s) required to load the program are missing\nPlease reinstall the program."));
    EXPECT_TRUE(HasText(texts, L"Hide technical details"));  // the details were opened by their toggle
    EXPECT_TRUE(MentionsFile(texts, L"Next.mtx"));
}

TEST_F(BrokenInstall, AboutPictureIsLookedForBesideTheProgramOnly)
{
    ASSERT_TRUE(MoveFileA((folder + "\\About.mtx").c_str(), (folder + "\\DefaultTheme\\About.mtx").c_str()));
    std::vector<std::wstring> texts;
    DWORD exitCode = 0;
    ASSERT_NO_FATAL_FAILURE(RunAndReadFailure(texts, exitCode));
    EXPECT_EQ(exitCode, 1u);
    EXPECT_TRUE(MentionsFile(texts, L"About.mtx"));
}

TEST_F(BrokenInstall, AFileOnTheCommandLineDoesNotPlayOnBehindTheFailure)
{
    // The file is started before the skin loads; the failure stops it before the dialog shows, so
    // at most a moment of the three-second tone reaches the capture.
    ASSERT_TRUE(DeleteFileA((folder + "\\DefaultTheme\\Next.mtx").c_str()));
    const uint64_t before = CaptureSize();
    const uint64_t aSecond = CaptureFormat{44100, 2}.BytesFor(1000);
    std::vector<std::wstring> texts;
    DWORD exitCode = 0;
    ASSERT_NO_FATAL_FAILURE(RunAndReadFailure(texts, exitCode, " \"" + MediaPath("tone-440.mp3") + "\"", [&] {
        EXPECT_FALSE(WaitFor([&] { return CaptureSize() > before + aSecond; }, 2500)) << "played on behind the dialog";
    }));
    EXPECT_EQ(exitCode, 1u);
}
