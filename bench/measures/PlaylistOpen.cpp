// playlist-open-1k: from F1 until every row of 1,000 tagged files with covers has been shown,
// paging through the list as soon as each view's rows are there; the floor reads the same 1,000
// tags and thumbnails their pictures in a bare loop.
// playlist-open-1k-folder-art: the same files without covers in their tags, with one cover.jpg
// beside them; the floor reads the same tags and thumbnails that one picture once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "metadata/CoverThumbnail.h"
#include "metadata/TrackInfo.h"
#include "render/PlaylistRows.h"
#include "support/TagWriter.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const int kFiles = 1000;

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

bool ViewRowsReady(int first)
{
    StateLock lock(stateLock);
    for (int i = first; i < first + 4 && i < rowCount; ++i)
        if (!ReadyPlaylistRow(i)) return false;
    return true;
}

double ReadEveryTag(const std::string& folder)
{
    double start = Seconds();
    for (int i = 0; i < kFiles; ++i) {
        TrackInfo track((folder + "\\" + std::to_string(i) + ".mp3").c_str());
    }
    return Seconds() - start;
}

double ThumbnailOnce(const Bytes& picture)
{
    double start = Seconds();
    Gdiplus::Image* thumbnail = nullptr;
    MakeCoverThumbnail(picture.data(), picture.size(), thumbnail);
    delete thumbnail;
    return Seconds() - start;
}

Bytes CoverPicture()
{
    Gdiplus::Bitmap cover(300, 300, PixelFormat32bppRGB);
    {
        Gdiplus::Graphics graphics(&cover);
        graphics.Clear(Gdiplus::Color(200, 40, 40));
    }
    return EncodePicture(cover, L"image/jpeg");
}

// The 1,000 tagged files, with the picture in each tag when there is one.
void WriteFiles(const std::string& folder, const Bytes* picture)
{
    for (int i = 0; i < kFiles; ++i) {
        TagWriter tag;
        std::string n = std::to_string(i);
        tag.AddIsoText("TIT2", "Title " + n).AddIsoText("TPE1", "Artist " + n).AddIsoText("TALB", "Album");
        if (picture) tag.AddPicture(*picture);
        ASSERT_TRUE(tag.WriteFile(folder + "\\" + n + ".mp3"));
    }
}

void TimeOpening(const std::string& folder, double& seconds)
{
    HWND window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < kFiles; ++i) scanner->Scan((folder + "\\" + std::to_string(i) + ".mp3").c_str());
    ASSERT_EQ(scanner->GetNoOfFiles(), kFiles);

    double start = Seconds();
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    for (int first = 0;; first += 4) {
        ASSERT_TRUE(WaitFor([&] { return rowCount == kFiles && ViewRowsReady(first); }, 60000)) << first;
        if (first + 4 >= kFiles) break;
        SendMessageA(window, WM_KEYDOWN, VK_NEXT, 0);
    }
    seconds = Seconds() - start;

    // Closed as the tests close it, so that the next measure's window starts without the list.
    WaitFor([] { return !playlistBuilding; }, 60000);
    playlistVisible = false;
    scrollPos = scrollTarget = 0;
    DestroyPlayerWindow(window);
    {
        StateLock lock(stateLock);
        DiscardPlaylistRows();
    }
    playlistBuilt = false;
}

}  // namespace

TEST(Measure, PlaylistOpen1k)
{
    std::string folder = MakeTempFolder("open1k");
    Bytes picture = CoverPicture();
    ASSERT_NO_FATAL_FAILURE(WriteFiles(folder, &picture));
    ReadEveryTag(folder);  // the same warm file cache for both sides
    double floor = ReadEveryTag(folder), ours = 0;
    ASSERT_NO_FATAL_FAILURE(TimeOpening(folder, ours));
    printf("measure playlist-open-1k ours=%.3f floor=%.3f unit=s\n", ours, floor);
    fflush(stdout);
    RemoveTree(folder);
}

TEST(Measure, PlaylistOpen1kFolderArt)
{
    // The floor reads a copy of the files with no picture beside it: the player remembers what
    // each folder holds, so reading the player's folder first would hand it the picture decoded.
    std::string folder = MakeTempFolder("open1k-art"), bare = MakeTempFolder("open1k-bare");
    Bytes picture = CoverPicture();
    ASSERT_NO_FATAL_FAILURE(WriteFiles(folder, nullptr));
    ASSERT_NO_FATAL_FAILURE(WriteFiles(bare, nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + "\\cover.jpg", picture.data(), picture.size()));

    ReadEveryTag(bare);
    ThumbnailOnce(picture);  // warm, as the tags are
    double floor = ReadEveryTag(bare) + ThumbnailOnce(picture);

    double ours = 0;
    ASSERT_NO_FATAL_FAILURE(TimeOpening(folder, ours));
    printf("measure playlist-open-1k-folder-art ours=%.3f floor=%.3f unit=s\n", ours, floor);
    fflush(stdout);
    RemoveTree(folder);
    RemoveTree(bare);
}
