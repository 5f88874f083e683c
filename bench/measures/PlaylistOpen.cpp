// playlist-open-1k: from F1 until every row of 1,000 tagged files with covers has been shown,
// paging through the list as soon as each view's rows are there; the floor reads the same 1,000
// tags and thumbnails their pictures in a bare loop.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
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

}  // namespace

TEST(Measure, PlaylistOpen1k)
{
    std::string folder = MakeTempFolder("open1k");
    Gdiplus::Bitmap cover(300, 300, PixelFormat32bppRGB);
    {
        Gdiplus::Graphics graphics(&cover);
        graphics.Clear(Gdiplus::Color(200, 40, 40));
    }
    Bytes picture = EncodePicture(cover, L"image/jpeg");
    for (int i = 0; i < kFiles; ++i) {
        TagWriter tag;
        std::string n = std::to_string(i);
        tag.AddIsoText("TIT2", "Title " + n).AddIsoText("TPE1", "Artist " + n).AddIsoText("TALB", "Album");
        tag.AddPicture(picture);
        ASSERT_TRUE(tag.WriteFile(folder + "\\" + n + ".mp3"));
    }
    ReadEveryTag(folder);  // the same warm file cache for both sides
    double floor = ReadEveryTag(folder);

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
    double ours = Seconds() - start;
    printf("measure playlist-open-1k ours=%.3f floor=%.3f unit=s\n", ours, floor);
    fflush(stdout);

    WaitFor([] { return !playlistBuilding; }, 60000);
    DestroyPlayerWindow(window);
    RemoveTree(folder);
}
