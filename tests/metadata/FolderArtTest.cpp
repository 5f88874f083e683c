// Tests of the art a file without a picture of its own takes from its folder (cover.jpg and kin).
#include "metadata/FolderArt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "metadata/TrackInfo.h"
#include "support/TagWriter.h"
#include "support/TestSupport.h"

namespace {

const unsigned kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;
const unsigned kNone = 1u << 24;  // not a colour: the record shows the default art

// A solid picture; the finder goes by the file's name, the decoder by its bytes.
Bytes Picture(unsigned rgb, const wchar_t* mimeType = L"image/jpeg")
{
    Gdiplus::Bitmap bitmap(64, 64, PixelFormat32bppARGB);
    Gdiplus::Graphics(&bitmap).Clear(Gdiplus::Color(255, rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
    return EncodePicture(bitmap, mimeType);
}

// Whether the record shows a 100 x 100 thumbnail of about that colour (JPEG shifts it a little).
bool ShowsColour(const TrackInfo& info, unsigned expected)
{
    if (!info.hasArt || !info.artThumbnail) return expected == kNone && !info.hasArt && !info.artThumbnail;
    if (expected == kNone || info.artThumbnail->GetWidth() != 100 || info.artThumbnail->GetHeight() != 100)
        return false;
    Gdiplus::Bitmap canvas(100, 100, PixelFormat32bppARGB);
    Gdiplus::Graphics(&canvas).DrawImage(info.artThumbnail, 0, 0, 100, 100);
    Gdiplus::Color middle;
    canvas.GetPixel(50, 50, &middle);
    auto within = [](BYTE found, unsigned wanted) { return abs(found - static_cast<int>(wanted & 0xFF)) <= 48; };
    return within(middle.GetR(), expected >> 16) && within(middle.GetG(), expected >> 8) &&
           within(middle.GetB(), expected);
}

class FolderArtTest : public testing::Test {
protected:
    void SetUp() override { root = MakeTempFolder("folderart"); }
    void TearDown() override { RemoveTree(root); }

    // A fresh folder each time, as the cache remembers every folder it has looked at.
    std::string NewFolder()
    {
        std::string folder = root + "\\" + std::to_string(folders++);
        CreateDirectoryA(folder.c_str(), nullptr);
        return folder;
    }

    std::string root;
    int folders = 0;
};

TEST_F(FolderArtTest, FileWithoutAPictureShowsItsFoldersPreferredOne)
{
    Bytes overPixels = Picture(kRed, L"image/png");
    std::copy_n("\0\0\x13\x88\0\0\x13\x88", 8, overPixels.begin() + 16);  // the header says 5000 x 5000
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, Bytes>> files;
        unsigned expected;
        bool embedded = false;  // the file's own tag holds a green picture
    } cases[] = {
        {"cover", {{"Cover.JPG", Picture(kRed)}}, kRed},
        {"album", {{"album.jpg", Picture(kYellow)}}, kYellow},
        {"stems in order",
         {{"album.jpg", Picture(kYellow)},
          {"FRONT.jpg", Picture(kBlue)},
          {"folder.jpg", Picture(kGreen)},
          {"cover.png", Picture(kRed)}},
         kRed},
        {"the stem before the extension",
         {{"album.jpg", Picture(kYellow)}, {"front.jpg", Picture(kBlue)}, {"Folder.png", Picture(kGreen)}},
         kGreen},
        {"front before album, .jpeg before .png",
         {{"album.jpg", Picture(kYellow)}, {"front.png", Picture(kGreen)}, {"front.jpeg", Picture(kBlue)}},
         kBlue},
        {"extensions in order",
         {{"cover.png", Picture(kRed)}, {"cover.jpeg", Picture(kGreen)}, {"cover.jpg", Picture(kBlue)}},
         kBlue},
        {"other names",
         {{"mycover.jpg", Picture(kRed)}, {"cover.jpg.txt", Picture(kRed)}, {"covers.png", Picture(kRed)}},
         kNone},
        {"embedded wins", {{"cover.jpg", Picture(kBlue)}}, kGreen, true},
        {"too many pixels", {{"cover.png", overPixels}}, kNone},
        {"not a picture", {{"cover.jpg", Bytes(10, 'x')}}, kNone},
        {"none", {}, kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string folder = NewFolder(), song = folder + "\\song.mp3";
        if (c.embedded)
            ASSERT_TRUE(TagWriter().AddPicture(Picture(kGreen)).WriteFile(song));
        else
            ASSERT_TRUE(CopyFileA(MediaPath("tone-440.mp3").c_str(), song.c_str(), FALSE));
        for (const auto& [name, bytes] : c.files)
            ASSERT_TRUE(WriteFileBytes(folder + "\\" + name, bytes.data(), bytes.size()));
        EXPECT_TRUE(ShowsColour(TrackInfo(song.c_str()), c.expected));
    }
}

// Row workers and the start worker make records at once; each record owns and deletes its copy.
TEST_F(FolderArtTest, RecordsMadeAtOnceOnSeveralThreadsShareOneDecodePerFolder)
{
    const unsigned colours[] = {kRed, kGreen, kBlue, kYellow};
    const int kFolders = 4, kSongsEach = 50, kThreads = 4;  // 200 records of each folder
    std::vector<std::string> songs;
    for (unsigned colour : colours) {
        std::string folder = NewFolder();
        Bytes cover = Picture(colour);
        ASSERT_TRUE(WriteFileBytes(folder + "\\cover.jpg", cover.data(), cover.size()));
        for (int i = 0; i < kSongsEach; ++i) {
            songs.push_back(folder + "\\" + std::to_string(i) + ".mp3");
            ASSERT_TRUE(CopyFileA(MediaPath("tone-990-mono.mp3").c_str(), songs.back().c_str(), FALSE));
        }
    }

    long before = FolderArtDecodes();
    std::atomic<int> right{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread starts in another folder, so the threads meet on every one.
            for (size_t n = 0; n < songs.size(); ++n) {
                size_t i = (n + t * kSongsEach) % songs.size();
                if (ShowsColour(TrackInfo(songs[i].c_str()), colours[i / kSongsEach])) ++right;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(right.load(), kThreads * kFolders * kSongsEach);
    EXPECT_EQ(FolderArtDecodes() - before, kFolders);
}

}  // namespace
