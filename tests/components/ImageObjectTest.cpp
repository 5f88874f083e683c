// Tests of ImageObject: loading .mtx files, drawing into its rectangle, and image ownership.
#include "components/ImageObject.h"

#include "SkinTestImages.h"

#include <string>

namespace {

class ImageObjectTest : public SkinImageTest {
protected:
    void SetUp() override { red = Png("Red.mtx", 10, 10, kRed); }
    std::wstring red;
};

TEST_F(ImageObjectTest, DrawsScaledToItsRectangleButShowsOnlyTheLeftPartOfAWideImage)
{
    ImageObject square(red.c_str(), 5, 5, 20, 20);
    square.Draw(&graphics);
    EXPECT_EQ(kRed, At(6, 6));
    EXPECT_EQ(kRed, At(23, 23));
    EXPECT_EQ(kClear, At(28, 15));
    // The seek progress: a strip green on its left half, blue on its right, revealed as width grows.
    // Scaled, the colour boundary would sit at 15; unscaled it stays at 20.
    ImageObject progress(Png("Strip.mtx", 40, 4, kGreen, kBlue, 20).c_str(), 0, 30, 30, 4);
    progress.Draw(&graphics);
    EXPECT_EQ(kGreen, At(17, 31));
    EXPECT_EQ(kBlue, At(25, 31));
    EXPECT_EQ(kClear, At(32, 31));
}

// Counts its deletions, to see whether an object deletes an image it was only lent.
struct CountedBitmap : Gdiplus::Bitmap {
    explicit CountedBitmap(int& deletions) : Gdiplus::Bitmap(4, 4, PixelFormat32bppARGB), deletions(deletions) {}
    ~CountedBitmap() override { ++deletions; }
    int& deletions;
};

TEST_F(ImageObjectTest, SetImageLendsTheImageAndReleaseImageLeavesItToItsOwner)
{
    int deletions = 0;
    CountedBitmap lent(deletions);
    Gdiplus::Graphics(&lent).Clear(Gdiplus::Color(kBlue));
    {
        ImageObject object(red.c_str(), 0, 0, 10, 10);
        object.SetImage(&lent);
        object.Draw(&graphics);
        EXPECT_EQ(kBlue, At(5, 5));
        object.ReleaseImage();
        EXPECT_EQ(nullptr, object.image);
        object.SetImage(&lent);
    }
    EXPECT_EQ(0, deletions);
}

TEST_F(ImageObjectTest, FilesThatAreMissingOrNotPngThrowAMessageNamingThem)
{
    ASSERT_TRUE(WriteFileBytes(folder + "\\Text.mtx", "not a picture at all", 20));
    ASSERT_TRUE(WriteFileBytes(folder + "\\Empty.mtx", "", 0));
    const char header[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";  // a signature and nothing decodable
    ASSERT_TRUE(WriteFileBytes(folder + "\\Cut.mtx", header, sizeof header - 1));
    for (const char* name : {"Nowhere.mtx", "Text.mtx", "Empty.mtx", "Cut.mtx"}) {
        const std::string path = folder + "\\" + name;
        try {
            ImageObject object(ConvertToWide(CP_ACP, 0, path).c_str(), 0, 0, 10, 10);
            ADD_FAILURE() << "no exception for " << name;
        } catch (const char* message) {
            EXPECT_NE(std::string::npos, std::string(message).find(path)) << message;
        }
    }
}

TEST_F(ImageObjectTest, LoadingKeepsNoFileOpenAndDrawingLeaksNoGdiObjects)
{
    ImageObject object(red.c_str(), 0, 0, 30, 30);
    EXPECT_TRUE(DeleteFileW(red.c_str())) << "the loaded file is still open";
    HDC screen = GetDC(nullptr);
    const DWORD before = GdiObjectCount();
    for (int i = 0; i < 200; ++i) {
        Gdiplus::Graphics graphics(screen);
        object.width = i % 30;
        object.Draw(&graphics);
    }
    EXPECT_EQ(before, GdiObjectCount());
    ReleaseDC(nullptr, screen);
}

}  // namespace
