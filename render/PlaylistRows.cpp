// The playlist's row cache: creating, rendering, rebuilding and releasing the row bitmaps.
#include "render/PlaylistRows.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "metadata/TrackInfo.h"
#include "render/BackBuffer.h"
#include "render/GlowText.h"

unsigned rowsVersion = 0;

namespace {

const DWORD kRowTextFormat = DT_NOPREFIX | DT_WORD_ELLIPSIS;  // left, top, one line
const int kRowsBeforeView = kRowSlots / 2 - 2;                // a long list's window is centred on the view

// The file each published slot was rendered from, to tell when the list changed under it.
std::string rowPaths[kRowSlots];

// A row owns its DC, bitmap and selections: deleting it releases them.
using OwnedRow = std::unique_ptr<PlaylistRow>;

// Under the lock.
void ReleaseAllRows()
{
    for (PlaylistRow*& row : rows) {
        delete row;
        row = nullptr;
    }
    rowCount = 0;
    ++rowsVersion;
}

HFONT CreateRowFont()
{
    return CreateFontA(Scaled(12), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Segoe UI");
}

// Fonts of earlier scales that a row worker may still have selected in a row it draws. Deleted at
// the next change that finds no worker, or at exit.
std::vector<HFONT> retiredRowFonts;

void DeleteRetiredRowFonts()
{
    for (HFONT font : retiredRowFonts) DeleteObject(font);
    retiredRowFonts.clear();
}

struct RowFontSetup {
    RowFontSetup()
    {
        rowFont = CreateRowFont();
        rowCount = 0;
        atexit(ReleasePlaylistRows);
    }
} rowFontSetup;

int HeightOf(HBITMAP bitmap)
{
    BITMAP shape;
    return GetObject(bitmap, sizeof shape, &shape) ? shape.bmHeight : 0;
}

int Slot(int index)
{
    return index % kRowSlots;
}

// The first file of the window of rendered rows that a view resting at target wants. Under the lock.
int WindowStart(int target, int count)
{
    if (count <= kRowSlots) return 0;
    int start = (target > 0 ? target / rowHeight : 0) - kRowsBeforeView;
    if (start > count - kRowSlots) start = count - kRowSlots;
    return start < 0 ? 0 : start;
}

// The file the view needs next that has no rendered row, or -1: the visible rows first (five,
// since an eased view shows parts of five), then alternately below and above. Under the lock.
int NextMissingRow()
{
    int count = rowCount;
    int start = WindowStart(scrollTarget, count);
    int end = start + (count < kRowSlots ? count : kRowSlots);
    int first = scrollTarget > 0 ? scrollTarget / rowHeight : 0;
    if (first >= end) first = end - 1;
    const int kVisible = 5;
    for (int i = first; i < first + kVisible && i < end; ++i)
        if (!ReadyPlaylistRow(i)) return i;
    for (int d = 0; first + kVisible + d < end || first - 1 - d >= start; ++d) {
        int below = first + kVisible + d, above = first - 1 - d;
        if (below < end && !ReadyPlaylistRow(below)) return below;
        if (above >= start && !ReadyPlaylistRow(above)) return above;
    }
    return -1;
}

// True when every published row still names the file its index names now. Under the lock.
bool RowsMatchList()
{
    if (!scanner) return false;
    for (int slot = 0; slot < kRowSlots; ++slot) {
        PlaylistRow* row = rows[slot];
        if (!row || row->listTop < 0) continue;
        const char* name = scanner->GetFileName(row->listTop / rowHeight);
        if (!name || rowPaths[slot] != name) return false;
    }
    return true;
}

void ClearRowBitmap(PlaylistRow* row)
{
    DIBSECTION section;
    if (GetObject(row->bitmap.Get(), sizeof section, &section) == sizeof section && section.dsBm.bmBits) {
        GdiFlush();
        memset(section.dsBm.bmBits, 0, static_cast<size_t>(section.dsBm.bmWidthBytes) * section.dsBm.bmHeight);
    }
}

// Takes the row of index out of its slot (or makes one) with the path it is to show. Under the
// lock; null when the list no longer holds index, the window is gone (no scanner) or the cache
// was released at exit (no font).
OwnedRow TakeRowFor(int index, std::string& path)
{
    const char* name = scanner ? scanner->GetFileName(index) : nullptr;
    if (!name || !rowFont) return nullptr;
    path = name;
    int slot = Slot(index);
    OwnedRow row(rows[slot]);
    rows[slot] = nullptr;
    ++rowsVersion;
    if (row && row->bitmap.IsValid()) {
        row->listTop = index * rowHeight;
        ClearRowBitmap(row.get());
        return row;
    }
    row.reset(new PlaylistRow());
    // A memory DC of the row's own, never one made from windowDC, which is the window thread's.
    CreatePlaylistRow(row.get(), nullptr, rowFont, index);
    return row;
}

// Reads the file's tag and renders the row, without the lock.
void RenderFile(PlaylistRow* row, const std::string& path, const GlowText& text, Gdiplus::Image* defaultPicture)
{
    TrackInfo track(path.c_str());
    RenderPlaylistRow(row, text, track, defaultPicture);
}

// Puts a rendered row into its slot if its index still names path. Under the lock; false when
// the list changed (the row is then released).
bool PublishRow(OwnedRow row, const std::string& path)
{
    if (HeightOf(row->bitmap.Get()) != rowHeight) return false;  // made before the scale changed
    int index = row->listTop / rowHeight;
    const char* name = scanner ? scanner->GetFileName(index) : nullptr;
    if (!name || path != name) return false;
    int slot = Slot(index);
    delete rows[slot];
    rows[slot] = row.release();
    rowPaths[slot] = path;
    ++rowsVersion;
    return true;
}

bool InView(int index)
{
    int first = scrollPos / rowHeight;
    return index >= first && index <= first + 4;
}

}  // namespace

void CreatePlaylistRow(PlaylistRow* row, HDC reference, HFONT font, int index)
{
    row->previousFont.Reset();
    row->previousBitmap.Reset();
    row->bitmap.Reset();
    row->dc.Reset(CreateCompatibleDC(reference));
    row->listTop = index * rowHeight;
    if (!row->dc.IsValid()) throw "Error initializing Device Context";
    BITMAPINFO info = TopDownBitmapInfo(rowWidth, rowHeight);
    row->bitmap.Reset(CreateDIBSection(reference, &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
    if (!row->bitmap.IsValid()) {
        row->dc.Reset();  // a row that could not be made holds nothing
        throw "Can't create buffer bitmap";
    }
    HDC dc = row->dc.Get();
    row->previousBitmap = Owner<SelectBack>(SelectObject(dc, row->bitmap.Get()), SelectBack(dc));
    row->previousFont = Owner<SelectBack>(SelectObject(dc, font), SelectBack(dc));
}

void RenderPlaylistRow(PlaylistRow* row, const GlowText& text, TrackInfo& track, Gdiplus::Image* defaultPicture)
{
    BITMAP shape;
    if (!GetObject(row->bitmap.Get(), sizeof shape, &shape)) return;
    // The row's own height gives its scale: a row drawn while the scale changes stays whole.
    const auto at = [&shape](int length) { return MulDiv(length, shape.bmHeight, kRowHeight); };
    RECT line = {at(62), at(2), shape.bmWidth - at(12), at(16)};
    text.Draw(row->dc.Get(), track.GetDisplayTitle(), line, kRowTextFormat);
    line.top = at(16);
    line.bottom = at(32);
    text.Draw(row->dc.Get(), track.artist, line, kRowTextFormat);
    line.top = at(32);
    line.bottom = at(64);  // the bitmap clips it at its height
    text.Draw(row->dc.Get(), track.album, line, kRowTextFormat);
    text.FinishForLook(row->bitmap.Get());

    // Through premultiplied ARGB over the row's pixels, so the picture keeps its own alpha.
    Gdiplus::Image* picture = track.hasArt ? track.artThumbnail : defaultPicture;
    std::unique_ptr<Gdiplus::Bitmap> pixels = PremultipliedBitmapOver(row->bitmap.Get());
    if (picture && pixels) {
        Gdiplus::Graphics graphics(pixels.get());
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.DrawImage(picture, at(12), at(2), at(44), at(44));
    }
}

bool RebuildPlaylistRows(HWND window, Gdiplus::Image* defaultPicture)
{
    RECT client = {};
    GetClientRect(window, &client);
    {
        StateLock lock(stateLock);
        ReleaseAllRows();
        rowWidth = client.right - 10;
        int count = scanner ? scanner->GetNoOfFiles() : 0;
        if (count > kRowSlots) {
            rowCount = count;  // a long list opens at once and fills around the view
        }
    }
    if (rowCount > kRowSlots) return FillPlaylistRows(window, defaultPicture);

    GlowText text(Scaled(10));
    int built = 0;
    for (;;) {
        OwnedRow row;
        std::string path;
        {
            StateLock lock(stateLock);
            int count = scanner ? scanner->GetNoOfFiles() : 0;
            if (count > kRowSlots) {  // the list outgrew the slots meanwhile: keep what fits
                rowCount = count;
                break;
            }
            if (built >= count) {
                if (!RowsMatchList()) {
                    ReleaseAllRows();
                    return false;
                }
                rowCount = count;
                ++rowsVersion;
                return true;
            }
            row = TakeRowFor(built, path);
            if (!row) {
                ReleaseAllRows();
                return false;
            }
        }
        RenderFile(row.get(), path, text, defaultPicture);
        StateLock lock(stateLock);
        if (!PublishRow(std::move(row), path)) {
            ReleaseAllRows();
            return false;
        }
        ++built;
    }
    return FillPlaylistRows(window, defaultPicture);
}

bool FillPlaylistRows(HWND window, Gdiplus::Image* defaultPicture)
{
    GlowText text(Scaled(10));
    for (;;) {
        OwnedRow row;
        std::string path;
        {
            StateLock lock(stateLock);
            int count = scanner ? scanner->GetNoOfFiles() : 0;
            if (count > kRowSlots && count > rowCount) rowCount = count;  // appended meanwhile
            int index = count == rowCount ? NextMissingRow() : -2;
            if (index == -1) {
                if (RowsMatchList()) return true;
                ReleaseAllRows();
                return false;
            }
            if (index >= 0) row = TakeRowFor(index, path);
            if (!row) {
                ReleaseAllRows();
                return false;
            }
        }
        int index = row->listTop / rowHeight;
        RenderFile(row.get(), path, text, defaultPicture);
        bool visible;
        {
            StateLock lock(stateLock);
            if (!PublishRow(std::move(row), path)) {
                ReleaseAllRows();
                return false;
            }
            visible = InView(index) && playlistVisible && !scrollTimerActive;
        }
        // Eased views pick new rows up at their next step; a resting view is redrawn.
        if (visible) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
    }
}

bool PlaylistRowsCurrent()
{
    return scanner && scanner->GetNoOfFiles() == rowCount && RowsMatchList();
}

bool PlaylistRowsComplete()
{
    if (!scanner || scanner->GetNoOfFiles() != rowCount) return false;
    return rowCount <= kRowSlots || NextMissingRow() == -1;
}

PlaylistRow* ReadyPlaylistRow(int index)
{
    if (index < 0 || index >= rowCount) return nullptr;
    PlaylistRow* row = rows[Slot(index)];
    return row && row->listTop == index * rowHeight ? row : nullptr;
}

void DiscardPlaylistRows()
{
    ReleaseAllRows();
}

void ScalePlaylistRows()
{
    ReleaseAllRows();
    rowHeight = Scaled(kRowHeight);
    visibleListHeight = kVisibleRows * rowHeight;
    HFONT font = CreateRowFont();
    if (!font) return;  // the rows keep the old size of text
    // Rows live only in the cache, just emptied, and in the hands of a row worker.
    if (playlistBuilding) {
        retiredRowFonts.push_back(rowFont);
    } else {
        DeleteRetiredRowFonts();
        DeleteObject(rowFont);
    }
    rowFont = font;
}

void ReleasePlaylistRows()
{
    // At exit a row worker may still be running: it releases rows under the lock too, and takes
    // no new one once the font is gone.
    StateLock lock(stateLock);
    ReleaseAllRows();
    if (rowFont) DeleteObject(rowFont);
    DeleteRetiredRowFonts();
    rowFont = nullptr;
}
