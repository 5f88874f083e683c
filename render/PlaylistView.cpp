// The playlist overlay: composing the cached rows, scrolling, hover and click-to-play.
#include "render/PlaylistView.h"

#include <gdiplus.h>
#include <process.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "components/Win32Handles.h"
#include "playback/Transport.h"
#include "render/BackBuffer.h"
#include "render/Look.h"
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
// so a hover redraw, which does not move the view, costs the copy of a row or two instead of a
// recomposition: `tinted` is the same view under a tint, made once per composition and tint.
// Kept for the process's life; used only under the state lock.
struct ComposedView {
    std::unique_ptr<Surface> view;
    std::unique_ptr<Surface> tinted;
    int scroll = 0;
    int width = 0;
    unsigned version = 0;
    bool valid = false;
    unsigned serial = 0;        // counts compositions
    unsigned tintedSerial = 0;  // the composition `tinted` was made from
    DWORD tint = 0;
    unsigned tintedRows = 0;     // bit r: row r of `tinted` is made
    Look look = Look::Dark;      // the look its empty parts were made for
    unsigned onWindow = ~0u;     // the composition last copied to the window
    int tintedRowOnWindow = -1;  // the row tinted on the window since then
};
ComposedView composed;

// Lines of pixels (width wide, height high) where no row is: empty for the look.
void ClearLines(DWORD* pixels, int width, int height, int top, int count)
{
    if (top < 0) {
        count += top;
        top = 0;
    }
    if (top + count > height) count = height - top;
    if (count <= 0) return;
    GdiFlush();
    DWORD* first = pixels + static_cast<size_t>(top) * width;
    std::fill(first, first + static_cast<size_t>(count) * width, EmptyPixel());
}

void ClearLines(Surface& surface, int top, int count)
{
    ClearLines(surface.dib.Pixels(), surface.width, surface.height, top, count);
}

// The rows at scroll, into dc from its top left: the ready ones copied, the others empty. pixels
// (width by height) are dc's own. Under the lock.
void ComposeRows(HDC dc, DWORD* pixels, int width, int height, int scroll)
{
    int first = scroll / rowHeight;
    int offset = scroll - first * rowHeight;
    if (offset < 0) {  // above the first row (uneven wheel steps): nothing there
        --first;
        offset += rowHeight;
    }
    for (int i = first; i < first + 6; ++i) {
        int top = (i - first) * rowHeight - offset;
        if (top >= visibleListHeight) break;
        PlaylistRow* row = ReadyPlaylistRow(i);
        if (row)
            BitBlt(dc, 0, top, rowWidth, std::min(rowHeight, visibleListHeight - top), row->dc.Get(), 0, 0, SRCCOPY);
        else
            ClearLines(pixels, width, std::min(height, visibleListHeight), top, rowHeight);
    }
}

bool MakeSurface(std::unique_ptr<Surface>& surface, HDC reference, int width)
{
    if (surface && surface->width == width && surface->height == visibleListHeight) return true;
    surface.reset(new (std::nothrow) Surface(reference, width, visibleListHeight));
    if (surface && !surface->IsValid()) surface.reset();
    return surface != nullptr;
}

// The composed view at scroll, composed afresh only when the position, the rows or the width
// changed. Under the lock; null when its bitmap cannot be made.
Surface* ComposedAt(HDC reference, int width, int scroll)
{
    if (!composed.view || composed.view->width != width || composed.view->height != visibleListHeight) {
        composed.valid = false;
        if (!MakeSurface(composed.view, reference, width)) return nullptr;
    }
    if (composed.valid && composed.scroll == scroll && composed.version == rowsVersion && composed.width == rowWidth &&
        composed.look == currentLook)
        return composed.view.get();

    Surface& view = *composed.view;
    // The strip right of the rows.
    if (composed.width != rowWidth || composed.look != currentLook) ClearLines(view, 0, view.height);
    ComposeRows(view.dc.Get(), view.dib.Pixels(), view.width, view.height, scroll);
    composed.look = currentLook;
    composed.scroll = scroll;
    composed.version = rowsVersion;
    composed.width = rowWidth;
    composed.valid = true;
    ++composed.serial;
    return &view;
}

// Row `row` of the composed view under an ARGB tint, blended as a solid fill over it would be.
Surface* TintedRow(HDC reference, Surface& view, int row, DWORD tint)
{
    if (!MakeSurface(composed.tinted, reference, view.width)) return nullptr;
    Surface& tinted = *composed.tinted;
    if (composed.tintedSerial != composed.serial || composed.tint != tint) {
        composed.tintedSerial = composed.serial;
        composed.tint = tint;
        composed.tintedRows = 0;
    }
    if (composed.tintedRows & (1u << row)) return &tinted;
    const DWORD alpha = tint >> 24;
    // Per channel (blue, green, red, alpha), premultiplied: what each value becomes under the tint.
    BYTE blend[4][256];
    for (int channel = 0; channel < 4; ++channel) {
        DWORD over = channel == 3 ? 0xFF : (tint >> (8 * channel)) & 0xFF;
        for (DWORD under = 0; under < 256; ++under)
            blend[channel][under] = static_cast<BYTE>((over * alpha + under * (255 - alpha) + 127) / 255);
    }
    GdiFlush();
    size_t first = static_cast<size_t>(row) * rowHeight * view.width;
    const DWORD* source = view.dib.Pixels() + first;
    DWORD* out = tinted.dib.Pixels() + first;
    for (int i = 0; i < view.width * rowHeight; ++i) {
        DWORD under = source[i];
        out[i] = blend[0][under & 0xFF] | blend[1][(under >> 8) & 0xFF] << 8 | blend[2][(under >> 16) & 0xFF] << 16 |
                 static_cast<DWORD>(blend[3][under >> 24]) << 24;
    }
    composed.tintedRows |= 1u << row;
    return &tinted;
}

// Shows the view at scrollPos on windowDC with one row tinted. Copies only the rows that change
// when the window already shows this composition.
void DrawViewWithTint(int row, DWORD tint)
{
    Surface* view = ComposedAt(windowDC, listRect.right, scrollPos);
    if (!view) return;
    Surface* tinted = TintedRow(windowDC, *view, row, tint);
    if (composed.onWindow != composed.serial) {
        BitBlt(windowDC, 0, 0, view->width, visibleListHeight, view->dc.Get(), 0, 0, SRCCOPY);
        composed.onWindow = composed.serial;
    } else if (composed.tintedRowOnWindow >= 0 && composed.tintedRowOnWindow != row) {
        int top = composed.tintedRowOnWindow * rowHeight;
        BitBlt(windowDC, 0, top, view->width, rowHeight, view->dc.Get(), 0, top, SRCCOPY);
    }
    composed.tintedRowOnWindow = -1;
    if (!tinted) return;
    BitBlt(windowDC, 0, row * rowHeight, view->width, rowHeight, tinted->dc.Get(), 0, row * rowHeight, SRCCOPY);
    composed.tintedRowOnWindow = row;
}

// Starts the file at index, as a click on its row does, on the start worker. Under the lock.
void PlayClickedRow(HWND window, int index)
{
    if (!scanner->GetFileName(index)) return;  // beyond the list
    PlayTrackAt(window, index);
}

// Renders rows on a worker: a whole rebuild, or the rows a long list's view now wants. Ends with
// `playlistBuilding` cleared under the same lock that found nothing left to do, so a view moved
// at that moment either is seen here or finds the flag clear and starts a new worker.
// A build that failed keeps no row, and the overlay closes.
void EndFailedBuild(HWND window)
{
    {
        StateLock lock(stateLock);
        DiscardPlaylistRows();
        playlistBuilding = false;
        playlistBuilt = false;
        playlistVisible = false;
    }
    InvalidateWindow(window);
}

void RunRowWorker(HWND window, bool rebuild)
{
    try {
        std::unique_ptr<Gdiplus::Image> picture;
        bool haveFiles;
        int builtHeight;
        {
            StateLock lock(stateLock);
            builtHeight = rowHeight;
            // A copy, so the teardown may free the skin while rows are still being drawn.
            if (defaultAlbumArt && defaultAlbumArt->image) {
                picture.reset(defaultAlbumArt->image->Clone());
                if (picture && picture->GetLastStatus() != Gdiplus::Ok) picture.reset();  // rows go without it
            }
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
            bool scaleChanged = false;
            {
                StateLock lock(stateLock);
                scaleChanged = rowHeight != builtHeight;  // the rows were dropped for another scale
                builtHeight = rowHeight;
                if (!scaleChanged && (!ok || !PlaylistRowsCurrent())) {
                    DiscardPlaylistRows();  // never leave rows of a list that is gone
                    playlistBuilding = false;
                    break;
                }
                if (!scaleChanged && rebuild) playlistBuilt = true;
                rebuild = false;
                if (!scaleChanged && (!playlistBuilt || PlaylistRowsComplete())) {
                    playlistBuilding = false;
                    break;
                }
            }
            if (scaleChanged) {
                rebuild = true;
                ok = RebuildPlaylistRows(window, picture.get());
                continue;
            }
            ok = FillPlaylistRows(window, picture.get());
        }
        InvalidateWindow(window);
    } catch (const char* message) {
        EndFailedBuild(window);
        MessageBoxA(nullptr, message, "Lumetra", MB_ICONINFORMATION);
    } catch (...) {
        EndFailedBuild(window);  // out of memory: the same end, without a text to show
    }
}

void __cdecl PlaylistFollowWorker(void* window)
{
    RunRowWorker(static_cast<HWND>(window), false);
}

// Under the lock.
void StartScrollEasing(HWND window)
{
    if (!scrollTimerActive) SetTimer(window, kScrollTimerId, kScrollTimerMs, ScrollEasingTimerProc);
}

// Home and End do not ease: on a long list the easing would show seconds of rows passing by. The
// view is at target at once, and a long list's rows there follow. Under the lock.
void JumpListTo(HWND window, int target)
{
    hoverStale = true;
    scrollTarget = target;
    scrollPos = target;
    if (windowDC) {
        ComposePlaylistView(listRect, windowDC, scrollPos);
        PresentBackBuffer();
    }
    RequestPlaylistRows(window);
}

// Sends the view to target (already within the list's bounds) with the easing, and lets a long
// list's rows follow it. Under the lock.
void ScrollListTo(HWND window, int target)
{
    hoverStale = true;
    scrollTarget = target;
    StartScrollEasing(window);
    RequestPlaylistRows(window);
}

}  // namespace

void ComposePlaylistView(const RECT& view, HDC target, int scroll)
{
    StateLock lock(stateLock);
    Surface* composedView = ComposedAt(target, view.right, scroll);
    if (!composedView) return;
    BitBlt(target, 0, 0, view.right, visibleListHeight, composedView->dc.Get(), 0, 0, SRCCOPY);
    composed.onWindow = composed.serial;  // every target is the window
    composed.tintedRowOnWindow = -1;
}

void DrawPlaylistView(Gdiplus::Graphics* graphics, const RECT& view, int scroll)
{
    StateLock lock(stateLock);
    Surface* composedView = ComposedAt(windowDC, view.right, scroll);
    if (!composedView) return;
    std::unique_ptr<Gdiplus::Bitmap> rows = PremultipliedBitmapOver(composedView->dib.Get());
    if (!rows) return;
    GdiFlush();
    const Gdiplus::CompositingMode mode = graphics->GetCompositingMode();
    const Gdiplus::InterpolationMode interpolation = graphics->GetInterpolationMode();
    graphics->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    graphics->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics->DrawImage(rows.get(), 0, 0, 0, 0, view.right, visibleListHeight, Gdiplus::UnitPixel);
    graphics->SetInterpolationMode(interpolation);
    graphics->SetCompositingMode(mode);
    composed.onWindow = composed.serial;
    composed.tintedRowOnWindow = -1;
}

void TrackPlaylistPointer(unsigned y, HWND window, bool buttonDown)
{
    StateLock lock(stateLock);
    int files = scanner ? scanner->GetNoOfFiles() : 0;
    int visible = files < kVisibleRows ? files : kVisibleRows;
    if (y >= static_cast<unsigned>(visible * rowHeight)) {
        if (mouseInList) {
            mouseInList = false;
            RECT client = {};
            GetClientRect(window, &client);
            if (windowDC) ComposePlaylistView(client, windowDC, scrollPos);
        }
        return;
    }
    int row = static_cast<int>(y) / rowHeight;
    if (row != hoverRow || buttonDown != lastMouseDown || hoverStale) {
        hoverStale = false;
        if (buttonDown != lastMouseDown) {
            lastMouseDown = buttonDown;
            if (!buttonDown && scanner && files > 0 && engine) PlayClickedRow(window, row + scrollPos / rowHeight);
        }
        if (windowDC) DrawViewWithTint(row, buttonDown ? kPressedTint : kHoverTint);
        hoverRow = row;
    }
    mouseInList = true;
}

void CALLBACK ScrollEasingTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD)
{
    StateLock lock(stateLock);
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
    if (playlistVisible && windowDC) {
        // Each step is at a new place: the rows go straight into the window's buffer, and only
        // the overlay is copied to the window.
        int width = 0, height = 0;
        if (DWORD* pixels = DibPixels(windowDC, &width, &height)) {
            ComposeRows(windowDC, pixels, width, height, scrollPos);
            composed.onWindow = ~0u;  // the window no longer shows the kept composition
        } else {
            ComposePlaylistView(listRect, windowDC, scrollPos);
        }
        RECT overlay = {0, 0, listRect.right, visibleListHeight};
        PresentBackBuffer(nullptr, &overlay);
    }
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

void TogglePlaylistOverlay(HWND window)
{
    if (scanning) {
        MessageBoxA(nullptr, "Wait while scanning is in progress", "Lumetra", MB_ICONINFORMATION);
        InvalidateWindow(window);
        return;
    }
    bool builderStarted = false;
    {
        StateLock lock(stateLock);
        if (scanner && scanner->GetNoOfFiles() > 0) {
            playlistVisible = !playlistVisible;
            // Rows from a list that has since changed (an append during a build) are built again.
            if (playlistVisible && playlistBuilt && !playlistBuilding && !PlaylistRowsCurrent()) playlistBuilt = false;
            if (playlistVisible && !playlistBuilding && !playlistBuilt) {
                playlistBuilding = true;  // set here so a quick second F1 cannot start a second build
                builderStarted = _beginthread(PlaylistBuildWorker, 0, window) != static_cast<uintptr_t>(-1);
                if (!builderStarted) playlistBuilding = false;
            }
        }
    }
    if (!builderStarted) InvalidateWindow(window);
}

void RebuildShownPlaylist(HWND window)
{
    StateLock lock(stateLock);
    if (!playlistVisible || playlistBuilding || scanning) return;
    playlistBuilt = false;
    playlistBuilding = true;
    if (_beginthread(PlaylistBuildWorker, 0, window) == static_cast<uintptr_t>(-1)) playlistBuilding = false;
}

void ScrollPlaylistByKey(HWND window, WPARAM key)
{
    if (!playlistVisible) return;
    StateLock lock(stateLock);
    int bottom = rowCount * rowHeight - visibleListHeight;
    bool canGoUp = scrollTarget > 0;
    bool canGoDown = scrollTarget < bottom;
    switch (key) {
    case VK_UP:
        if (canGoUp) ScrollListTo(window, scrollTarget - rowHeight);  // not clamped: a view off its rows stays so
        break;
    case VK_DOWN:
        if (canGoDown) ScrollListTo(window, scrollTarget + rowHeight);
        break;
    case VK_PRIOR:
        if (canGoUp) ScrollListTo(window, scrollTarget > visibleListHeight ? scrollTarget - visibleListHeight : 0);
        break;
    case VK_NEXT:
        if (canGoDown)
            ScrollListTo(window, scrollTarget + visibleListHeight < bottom ? scrollTarget + visibleListHeight : bottom);
        break;
    case VK_HOME:
        if (canGoUp) JumpListTo(window, 0);
        break;
    case VK_END:
        if (canGoDown) JumpListTo(window, bottom);
        break;
    }
}

void ScrollPlaylistByWheel(HWND window, int delta)
{
    if (!playlistVisible) return;
    StateLock lock(stateLock);
    hoverStale = true;
    int listHeight = rowCount * rowHeight;
    if (scrollTarget + visibleListHeight > listHeight) return;  // too short to scroll
    // Turning the wheel away from the user goes toward the start.
    int target = scrollTarget + (-delta * rowHeight) / WHEEL_DELTA;
    if (target < 0)
        target = 0;
    else if (target + visibleListHeight > listHeight)
        target = listHeight - visibleListHeight;
    ScrollListTo(window, target);
}

void ResetPlaylistView()
{
    StateLock lock(stateLock);
    scrollPos = 0;
    scrollTarget = 0;
    playlistVisible = false;
    playlistBuilt = false;
}
