// The playlist overlay: composing the cached rows, scrolling, hover and click-to-play.
#include "render/PlaylistView.h"

#include <gdiplus.h>
#include <process.h>
#include <cstring>
#include <memory>
#include <new>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "components/Win32Handles.h"
#include "playback/NowPlaying.h"
#include "render/MainView.h"
#include "render/PlaylistRows.h"

namespace {

const DWORD kPressedTint = 0x5A006400;
const DWORD kHoverTint = 0x1E006400;

// A memory DC holding a zeroed 32-bit bitmap of a fixed size.
struct Surface {
    Surface(HDC reference, int width, int height)
        : dc(reference), dib(reference, width, height), selection(dc.Get(), dib.Get()), width(width), height(height)
    {
    }
    bool IsValid() const { return dc.Get() && dib.Get() && dib.Pixels(); }

    MemoryDC dc;
    DibSection dib;
    Selection selection;
    int width;
    int height;
};

// The view as last composed. Compositions land here first and are then copied out in one blit,
// so a hover redraw, which does not move the view, costs a copy and a tinted band instead of a
// recomposition. Kept for the process's life; used only under the state lock.
struct ComposedView {
    std::unique_ptr<Surface> view;
    std::unique_ptr<Surface> band;  // one tinted row
    int scroll = 0;
    int width = 0;
    unsigned version = 0;
    bool valid = false;
};
ComposedView composed;

void ClearLines(Surface& surface, int top, int count)
{
    if (top < 0) {
        count += top;
        top = 0;
    }
    if (top + count > surface.height) count = surface.height - top;
    if (count <= 0) return;
    GdiFlush();
    memset(surface.dib.Pixels() + static_cast<size_t>(top) * surface.width, 0,
           static_cast<size_t>(count) * surface.width * sizeof(DWORD));
}

// The composed view at scroll, composed afresh only when the position, the rows or the width
// changed. Under the lock; null when its bitmap cannot be made.
Surface* ComposedAt(HDC reference, int width, int scroll)
{
    if (!composed.view || composed.view->width != width) {
        composed.valid = false;
        composed.view.reset(new (std::nothrow) Surface(reference, width, kVisibleListHeight));
        if (composed.view && !composed.view->IsValid()) composed.view.reset();
        if (!composed.view) return nullptr;
    }
    if (composed.valid && composed.scroll == scroll && composed.version == rowsVersion && composed.width == rowWidth)
        return composed.view.get();

    Surface& view = *composed.view;
    if (composed.width != rowWidth) ClearLines(view, 0, view.height);  // the strip right of the rows
    int first = scroll / kRowHeight;
    int offset = scroll - first * kRowHeight;
    if (offset < 0) {  // above the first row (uneven wheel steps): nothing there
        --first;
        offset += kRowHeight;
    }
    for (int i = first; i < first + 6; ++i) {
        int top = (i - first) * kRowHeight - offset;
        if (top >= view.height) break;
        PlaylistRow* row = ReadyPlaylistRow(i);
        if (row)
            BitBlt(view.dc.Get(), 0, top, rowWidth, kRowHeight, row->dc, 0, 0, SRCCOPY);
        else
            ClearLines(view, top, kRowHeight);
    }
    composed.scroll = scroll;
    composed.version = rowsVersion;
    composed.width = rowWidth;
    composed.valid = true;
    return &view;
}

// Blends one colour channel of an ARGB tint over an opaque pixel.
DWORD BlendChannel(DWORD under, DWORD over, DWORD alpha, int shift)
{
    DWORD u = (under >> shift) & 0xFF, o = (over >> shift) & 0xFF;
    return ((o * alpha + u * (255 - alpha) + 127) / 255) << shift;
}

// Draws row `row` of the composed view onto target with the tint over it.
void DrawTintedRow(HDC target, Surface& view, int row, DWORD tint)
{
    if (!composed.band || composed.band->width != view.width) {
        composed.band.reset(new (std::nothrow) Surface(target, view.width, kRowHeight));
        if (composed.band && !composed.band->IsValid()) composed.band.reset();
        if (!composed.band) return;
    }
    Surface& band = *composed.band;
    GdiFlush();
    const DWORD alpha = tint >> 24;
    const DWORD* source = view.dib.Pixels() + static_cast<size_t>(row) * kRowHeight * view.width;
    DWORD* out = band.dib.Pixels();
    for (int i = 0; i < band.width * kRowHeight; ++i) {
        DWORD under = source[i];
        out[i] = BlendChannel(under, tint, alpha, 16) | BlendChannel(under, tint, alpha, 8) |
                 BlendChannel(under, tint, alpha, 0);
    }
    BitBlt(target, 0, row * kRowHeight, band.width, kRowHeight, band.dc.Get(), 0, 0, SRCCOPY);
}

// Starts the file at index, as a click on its row does. Under the lock.
void PlayClickedRow(HWND window, int index)
{
    const char* name = scanner->GetFileName(index);
    if (!name || !engine->StartPlaying(name)) return;  // beyond the list, or the file does not start
    currentIndex = index;
    try {
        UpdateNowPlaying(scanner->GetFileName(index));
    } catch (...) {
        // The record could not be read; the now-playing update has cleared what pointed into it.
    }
    idle = false;
    RepaintControlLayer();
    InvalidateWindow(window);
}

// Renders rows on a worker: a whole rebuild, or the rows a long list's view now wants. Ends with
// `playlistBuilding` cleared under the same lock that found nothing left to do, so a view moved
// at that moment either is seen here or finds the flag clear and starts a new worker.
void RunRowWorker(HWND window, bool rebuild)
{
    try {
        std::unique_ptr<Gdiplus::Image> picture;
        bool haveFiles;
        {
            StateLock lock(stateLock);
            // A copy, so the teardown may free the skin while rows are still being drawn.
            if (defaultAlbumArt && defaultAlbumArt->image) picture.reset(defaultAlbumArt->image->Clone());
            haveFiles = scanner && scanner->GetNoOfFiles() > 0;
        }
        bool ok = haveFiles;
        if (haveFiles && rebuild) {
            InvalidateWindow(window);
            ok = RebuildPlaylistRows(window, picture.get());
        } else if (haveFiles) {
            ok = FillPlaylistRows(window, picture.get());
        }
        for (;;) {
            {
                StateLock lock(stateLock);
                if (!ok || !PlaylistRowsCurrent()) {
                    DiscardPlaylistRows();  // never leave rows of a list that is gone
                    playlistBuilding = false;
                    break;
                }
                if (rebuild) playlistBuilt = true;
                rebuild = false;
                if (!playlistBuilt || PlaylistRowsComplete()) {
                    playlistBuilding = false;
                    break;
                }
            }
            ok = FillPlaylistRows(window, picture.get());
        }
        InvalidateWindow(window);
    } catch (const char* message) {
        {
            StateLock lock(stateLock);
            DiscardPlaylistRows();
            playlistBuilding = false;
            playlistBuilt = false;
            playlistVisible = false;
        }
        InvalidateWindow(window);
        MessageBoxA(nullptr, message, "Lumetra", MB_ICONINFORMATION);
    } catch (...) {
        // Out of memory: the same end as a failure, without a text to show.
        {
            StateLock lock(stateLock);
            DiscardPlaylistRows();
            playlistBuilding = false;
            playlistBuilt = false;
            playlistVisible = false;
        }
        InvalidateWindow(window);
    }
}

void __cdecl PlaylistFollowWorker(void* window)
{
    RunRowWorker(static_cast<HWND>(window), false);
}

}  // namespace

void ComposePlaylistView(const RECT& view, HDC target, int scroll)
{
    StateLock lock(stateLock);
    Surface* composedView = ComposedAt(target, view.right, scroll);
    if (composedView)
        BitBlt(target, 0, 0, view.right, kVisibleListHeight, composedView->dc.Get(), 0, 0, SRCCOPY);
}

void ComposePlaylistViewOnWindow(HWND window, const RECT& view, int scroll)
{
    HDC dc = GetDC(window);
    if (!dc) return;
    ComposePlaylistView(view, dc, scroll);
    ReleaseDC(window, dc);
}

void TrackPlaylistPointer(unsigned y, HWND window, bool buttonDown)
{
    StateLock lock(stateLock);
    int files = scanner ? scanner->GetNoOfFiles() : 0;
    int visible = files < 4 ? files : 4;
    if (y >= static_cast<unsigned>(visible * kRowHeight)) {
        if (mouseInList) {
            mouseInList = false;
            RECT client = {};
            GetClientRect(window, &client);
            ComposePlaylistViewOnWindow(window, client, scrollPos);
        }
        return;
    }
    int row = static_cast<int>(y) / kRowHeight;
    if (row != hoverRow || buttonDown != lastMouseDown || hoverStale) {
        hoverStale = false;
        if (buttonDown != lastMouseDown) {
            lastMouseDown = buttonDown;
            if (!buttonDown && scanner && files > 0 && engine) PlayClickedRow(window, row + scrollPos / kRowHeight);
        }
        if (windowDC) {
            ComposePlaylistView(listRect, windowDC, scrollPos);
            Surface* view = ComposedAt(windowDC, listRect.right, scrollPos);
            if (view) DrawTintedRow(windowDC, *view, row, buttonDown ? kPressedTint : kHoverTint);
        }
        hoverRow = row;
    }
    mouseInList = true;
}

void CALLBACK ScrollEasingTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD)
{
    if (scrollPos == scrollTarget) {
        if (scrollTimerActive) {
            KillTimer(window, timerId);
            scrollTimerActive = false;
        }
        return;
    }
    scrollTimerActive = true;
    int distance = scrollTarget - scrollPos;
    scrollPos += distance / 5 + (distance > 0 ? 1 : -1);
    if (playlistVisible && windowDC) ComposePlaylistView(listRect, windowDC, scrollPos);
}

void __cdecl PlaylistBuildWorker(void* argument)
{
    HWND window = static_cast<HWND>(argument);
    if (scanning) {
        playlistBuilding = false;
        MessageBoxA(nullptr, "Wait while scanning is in progress", "Lumetra", MB_ICONINFORMATION);
        return;
    }
    playlistBuilding = true;
    RunRowWorker(window, true);
}

void RequestPlaylistRows(HWND window)
{
    StateLock lock(stateLock);
    if (rowCount <= kRowSlots || !playlistBuilt || playlistBuilding || PlaylistRowsComplete()) return;
    playlistBuilding = true;
    if (_beginthread(PlaylistFollowWorker, 0, window) == static_cast<uintptr_t>(-1)) playlistBuilding = false;
}
