// playlist-100k-memory and playlist-100k-gdi: what a 100,000-file list costs once it is opened
// and scrolled from its first row to its last (End) and back (Home): growth of the process's
// private memory over the list alone, and the GDI objects the process holds then.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "render/PlaylistRows.h"
#include "support/TagWriter.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const int kFiles = 100000;

// Committed private memory, summed over the address space (Wine leaves the process counters at 0).
double PrivateMegabytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (char* address = nullptr; VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    }
    return total / (1024.0 * 1024.0);
}

bool ArrivedWithRows()
{
    StateLock lock(stateLock);
    if (scrollPos != scrollTarget || playlistBuilding) return false;
    int first = scrollTarget / kRowHeight;
    for (int i = first; i < first + 4; ++i)
        if (!ReadyPlaylistRow(i)) return false;
    return true;
}

}  // namespace

TEST(Measure, Playlist100kMemoryAndGdi)
{
    std::string folder = MakeTempFolder("list100k");
    std::string file = folder + "\\track.mp3";
    TagWriter tag;
    tag.AddIsoText("TIT2", "Title").AddIsoText("TPE1", "Artist").AddIsoText("TALB", "Album");
    ASSERT_TRUE(tag.WriteFile(file));

    HWND window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < kFiles; ++i) scanner->Scan(file.c_str());  // one file listed 100,000 times
    ASSERT_EQ(scanner->GetNoOfFiles(), kFiles);
    double before = PrivateMegabytes();

    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && ArrivedWithRows(); }, 120000));
    SendMessageA(window, WM_KEYDOWN, VK_END, 0);
    ASSERT_TRUE(WaitFor(ArrivedWithRows, 120000));
    SendMessageA(window, WM_KEYDOWN, VK_HOME, 0);
    ASSERT_TRUE(WaitFor(ArrivedWithRows, 120000));

    printf("measure playlist-100k-memory ours=%.1f floor=0 unit=MB\n", PrivateMegabytes() - before);
    printf("measure playlist-100k-gdi ours=%lu floor=0 unit=objects\n", GdiObjectCount());
    fflush(stdout);
    DestroyPlayerWindow(window);
    RemoveTree(folder);
}
