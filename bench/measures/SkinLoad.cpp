// The player's skin loader against a plain GDI+ load of the same files, in rounds of every file
// the player loads at start. Prints "measure skin-load ours=<ms> floor=<ms> unit=ms", the median
// round of each.
#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/SkinFiles.h"
#include "components/SkinImage.h"
#include "support/TestSupport.h"

namespace {

const int kRounds = 9;

double Now()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds for one load of every file; false when one does not load.
template <typename Load>
bool TimeRound(const std::wstring& folder, Load load, double& ms)
{
    double start = Now();
    for (const Placed& place : kSkin) {
        std::unique_ptr<Gdiplus::Image> image(load((folder + place.file).c_str()));
        if (!image) return false;
    }
    ms = Now() - start;
    return true;
}

Gdiplus::Image* LoadWithPlayer(const wchar_t* path)
{
    try {
        return LoadMtxImage(path);
    } catch (const char*) {
        return nullptr;
    }
}

Gdiplus::Image* LoadPlainly(const wchar_t* path)
{
    std::unique_ptr<Gdiplus::Bitmap> image(new Gdiplus::Bitmap(path));
    return image->GetLastStatus() == Gdiplus::Ok ? image.release() : nullptr;
}

}  // namespace

int main()
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    const std::string ansiFolder = TestBinFolder();
    const std::wstring folder(ansiFolder.begin(), ansiFolder.end());
    std::vector<double> ours, floor;
    for (int round = 0; round < kRounds; ++round) {
        double oursMs = 0, floorMs = 0;
        if (!TimeRound(folder, LoadWithPlayer, oursMs) || !TimeRound(folder, LoadPlainly, floorMs)) {
            fprintf(stderr, "skin-load: a skin file under %s does not load\n", ansiFolder.c_str());
            return 1;
        }
        ours.push_back(oursMs);
        floor.push_back(floorMs);
    }
    printf("measure skin-load ours=%.2f floor=%.2f unit=ms\n", Median(ours), Median(floor));
    return 0;
}
