// GDI objects and kernel handles the player keeps after 10,000 repaints and 1,000 track changes,
// on its real window in this process. Prints "measure gdi-stable ours=<growth> floor=0 unit=objects"
// (the growth of both counts together; each count goes to stderr).
#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "playback/Transport.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const int kRepaints = 10000;
const int kTrackChanges = 1000;  // a smaller pair may be given on the command line, for a quick look

// Short files of every kind, one with a picture in its tag: a change is one start, one tag read.
const char* const kTracks[] = {"tone-1540-id3.mp3", "tone-440.mp3", "tone-660.ogg", "tone-770.flac",
                               "tone-1430-id3.flac"};
const int kTrackCount = sizeof kTracks / sizeof kTracks[0];

DWORD HandleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
    // Wine answers 0. Its handles are multiples of four from 4 up, so ask each one that could be
    // open whether it is.
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x40000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    return count;
}

void DrainMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

struct Stepper {
    HWND window;
    int index = 0;
    int direction = 1;

    // Next until the last file, then previous until the first, and so on: each call a change.
    void ChangeTrack()
    {
        if (index + direction < 0 || index + direction >= kTrackCount) direction = -direction;
        index += direction;
        if (direction > 0)
            PlayNextTrack(window);
        else
            PlayPreviousTrack(window);
        WaitForStarts();  // the file opens on the start worker
    }
};

void Exercise(Stepper& stepper, int repaints, int changes)
{
    const int repaintsPerChange = changes ? repaints / changes : repaints;
    for (int i = 0; i < repaints; ++i) {
        RedrawWindow(stepper.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        if (changes && (i + 1) % repaintsPerChange == 0) stepper.ChangeTrack();
        DrainMessages();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int repaints = argc == 3 ? atoi(argv[1]) : kRepaints;
    const int changes = argc == 3 ? atoi(argv[2]) : kTrackChanges;
    if (repaints < 1 || changes < 0 || changes > repaints) {
        fprintf(stderr, "usage: MeasureGdiStable.exe [REPAINTS TRACK-CHANGES]\n");
        return 2;
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    HWND window = CreatePlayerWindow();
    if (!window || !scanner) {
        fprintf(stderr, "gdi-stable: the player window could not be made\n");
        return 1;
    }
    for (const char* name : kTracks) {
        if (!scanner->Scan(MediaPath(name).c_str())) {
            fprintf(stderr, "gdi-stable: %s is missing\n", name);
            DestroyPlayerWindow(window);
            return 1;
        }
    }
    currentIndex = 0;
    TogglePlayPause(window);
    WaitForStarts();

    // One round of everything first: what is made once and kept is not growth.
    Stepper stepper{window};
    Exercise(stepper, 2 * kTrackCount * 10, 2 * kTrackCount);
    const DWORD gdiBefore = GdiObjectCount(), handlesBefore = HandleCount();

    DWORD start = GetTickCount();
    Exercise(stepper, repaints, changes);
    DWORD elapsed = GetTickCount() - start;

    const DWORD gdiAfter = GdiObjectCount(), handlesAfter = HandleCount();
    const long gdiGrowth = static_cast<long>(gdiAfter) - static_cast<long>(gdiBefore);
    const long handleGrowth = static_cast<long>(handlesAfter) - static_cast<long>(handlesBefore);
    fprintf(stderr, "gdi-stable: GDI objects %lu -> %lu, handles %lu -> %lu, in %lu ms\n", gdiBefore, gdiAfter,
            handlesBefore, handlesAfter, elapsed);
    printf("measure gdi-stable ours=%ld floor=0 unit=objects\n", gdiGrowth + handleGrowth);
    fflush(stdout);

    UnloadSound();
    DestroyPlayerWindow(window);
    return 0;
}
