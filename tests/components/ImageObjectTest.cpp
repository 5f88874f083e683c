// Tests of ImageObject: loading .mtx files, drawing into its rectangle, and image ownership.
#include "components/ImageObject.h"

#include "SkinTestImages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class ImageObjectTest : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeTempFolder("image");
        redPath = Widen(folder + "\\Red.mtx");
        ASSERT_TRUE(WriteTestPng(redPath, 10, 10, kRed));
    }
    void TearDown() override { RemoveTree(folder); }

    std::string folder;
    std::wstring redPath;
};

// Counts destructor calls, to see whether an object deletes an image it was only lent.
class CountedBitmap : public Gdiplus::Bitmap {
public:
    CountedBitmap(int& deletions) : Gdiplus::Bitmap(4, 4, PixelFormat32bppARGB), deletions(deletions) {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) SetPixel(x, y, Gdiplus::Color(kBlue));
    }
    ~CountedBitmap() override { ++deletions; }

private:
    int& deletions;
};

TEST_F(ImageObjectTest, DrawsTheImageScaledToItsRectangle) {
    ImageObject object(redPath.c_str(), 5, 5, 20, 20);
    Canvas canvas(40, 40);
    object.Draw(&canvas.graphics);
    EXPECT_EQ(kRed, canvas.At(6, 6));
    EXPECT_EQ(kRed, canvas.At(23, 23));
    EXPECT_EQ(kClear, canvas.At(2, 2));
    EXPECT_EQ(kClear, canvas.At(28, 15));
    EXPECT_EQ(kClear, canvas.At(15, 28));

    // The members as they are at the time of the call.
    object.x = 30;
    object.height = 5;
    canvas.Clear();
    object.Draw(&canvas.graphics);
    EXPECT_EQ(kClear, canvas.At(15, 6));
    EXPECT_EQ(kRed, canvas.At(35, 6));
    EXPECT_EQ(kClear, canvas.At(35, 12));
}

// The seek progress: a strip green on its left half, blue on its right, revealed as width grows.
TEST_F(ImageObjectTest, NarrowRectangleShowsTheLeftPartOfAWideImageUnscaled) {
    std::wstring stripPath = Widen(folder + "\\Strip.mtx");
    ASSERT_TRUE(WriteTestPng(stripPath, 40, 4, kGreen, kBlue, 20));
    ImageObject progress(stripPath.c_str(), 0, 0, 0, 4);
    Canvas canvas(50, 4);

    progress.Draw(&canvas.graphics);
    EXPECT_EQ(kClear, canvas.At(0, 1));

    progress.width = 10;
    progress.Draw(&canvas.graphics);
    EXPECT_EQ(kGreen, canvas.At(5, 1));
    EXPECT_EQ(kClear, canvas.At(12, 1));

    // Scaled, the colour boundary would sit at 15; unscaled it stays at 20.
    progress.width = 30;
    canvas.Clear();
    progress.Draw(&canvas.graphics);
    EXPECT_EQ(kGreen, canvas.At(17, 1));
    EXPECT_EQ(kBlue, canvas.At(25, 1));
    EXPECT_EQ(kClear, canvas.At(32, 1));
}

TEST_F(ImageObjectTest, NullGraphicsOrNullImageDrawsNothing) {
    ImageObject object(redPath.c_str(), 0, 0, 10, 10);
    object.Draw(nullptr);
    object.SetImage(nullptr);
    Canvas canvas(20, 20);
    object.Draw(&canvas.graphics);
    EXPECT_EQ(kClear, canvas.At(5, 5));
}

TEST_F(ImageObjectTest, SetImageLendsTheImageAndReleaseImageLeavesItAlone) {
    int deletions = 0;
    CountedBitmap* lent = new CountedBitmap(deletions);
    {
        ImageObject object(redPath.c_str(), 0, 0, 10, 10);
        object.SetImage(lent);
        Canvas canvas(20, 20);
        object.Draw(&canvas.graphics);
        EXPECT_EQ(kBlue, canvas.At(5, 5));

        object.ReleaseImage();
        EXPECT_EQ(nullptr, object.image);
        EXPECT_EQ(0, deletions);
        canvas.Clear();
        object.Draw(&canvas.graphics);
        EXPECT_EQ(kClear, canvas.At(5, 5));

        object.SetImage(lent);
    }
    EXPECT_EQ(0, deletions);  // nor does the destructor delete it
    delete lent;
    EXPECT_EQ(1, deletions);
}

TEST_F(ImageObjectTest, ReleaseImageDoesNotTouchAnImageAlreadyDeletedByItsOwner) {
    // An inaccessible page stands in for the deleted image: any read or delete of it faults.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(nullptr, page);
    {
        ImageObject object(redPath.c_str(), 0, 0, 10, 10);
        object.SetImage(static_cast<Gdiplus::Image*>(page));
        object.ReleaseImage();
        EXPECT_EQ(nullptr, object.image);
        object.SetImage(static_cast<Gdiplus::Image*>(page));
    }
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST_F(ImageObjectTest, MissingFileThrowsAMessageNamingIt) {
    std::string missing = folder + "\\Nowhere.mtx";
    try {
        ImageObject object(Widen(missing).c_str(), 0, 0, 10, 10);
        FAIL() << "no exception";
    } catch (const char* message) {
        EXPECT_NE(std::string::npos, std::string(message).find(missing)) << message;
    }
}

TEST_F(ImageObjectTest, FilesThatAreNotPngThrow) {
    std::string text = folder + "\\Text.mtx";
    ASSERT_TRUE(WriteFileBytes(text, "not a picture at all", 20));
    EXPECT_THROW(ImageObject(Widen(text).c_str(), 0, 0, 10, 10), const char*);

    // A PNG signature followed by nothing decodable.
    std::string truncated = folder + "\\Truncated.mtx";
    const char header[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
    ASSERT_TRUE(WriteFileBytes(truncated, header, sizeof header - 1));
    EXPECT_THROW(ImageObject(Widen(truncated).c_str(), 0, 0, 10, 10), const char*);

    std::string empty = folder + "\\Empty.mtx";
    ASSERT_TRUE(WriteFileBytes(empty, "", 0));
    EXPECT_THROW(ImageObject(Widen(empty).c_str(), 0, 0, 10, 10), const char*);
}

TEST_F(ImageObjectTest, LoadedImageKeepsNoFileOpen) {
    ImageObject object(redPath.c_str(), 0, 0, 10, 10);
    EXPECT_TRUE(DeleteFileW(redPath.c_str()));
    Canvas canvas(20, 20);
    object.Draw(&canvas.graphics);
    EXPECT_EQ(kRed, canvas.At(5, 5));
}

TEST_F(ImageObjectTest, DrawingOverADeviceContextLeaksNoGdiObjects) {
    ImageObject object(redPath.c_str(), 0, 0, 30, 30);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 40, 40);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory, target);

    DWORD before = GdiObjectCount();
    for (int i = 0; i < 200; ++i) {
        Gdiplus::Graphics graphics(memory);
        object.width = i % 30;
        object.Draw(&graphics);
    }
    EXPECT_EQ(before, GdiObjectCount());

    SelectObject(memory, previous);
    DeleteObject(target);
    DeleteDC(memory);
}

// The build's theme files and the loader must agree on the format.
TEST(ThemeFilesTest, EveryPictureTheBuildMadeLoads) {
    std::vector<std::string> paths{TestBinFolder() + "About.mtx"};
    std::string theme = TestBinFolder() + "DefaultTheme\\";
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((theme + "*.mtx").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do paths.push_back(theme + found.cFileName);
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    ASSERT_GT(paths.size(), 1u) << "no theme beside the tests";
    for (const std::string& path : paths) {
        try {
            ImageObject object(Widen(path).c_str(), 0, 0, 10, 10);
            EXPECT_NE(nullptr, object.image);
        } catch (const char* message) {
            ADD_FAILURE() << message;
        }
    }
}

}  // namespace
