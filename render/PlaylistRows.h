// The playlist's row cache: rendered 48-pixel row bitmaps, one per file, in 200 slots.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include "components/Win32Handles.h"

class GlowText;
class TrackInfo;

// Which rows the cache holds
// --------------------------
// A list of up to 200 files has one row per file, file i in slot i. The build renders them all
// while `rowCount` stays 0 and then sets it to the count, so every row shows at once.
//
// A longer list keeps no more than 200 rendered rows: file i lives in slot i % 200, and a slot
// shows file i only while its row's `listTop` is i * 48. The 200 rows kept are a window of the
// list centred on where the view comes to rest (`scrollTarget`), clamped to the list's ends;
// rows are rendered nearest to the view first (the visible ones, then outward). `rowCount` is
// the whole list's length from the start of the build, so every file can be scrolled to, tinted
// and clicked at once. Whenever the view is sent somewhere new, the window thread hands the
// rendering to a worker (RequestPlaylistRows in the view); no tag is read and no row is rendered
// on the window thread. A row that is not ready yet shows as empty until the worker publishes
// it: the easing timer's steps, the playback timer's refresh while `playlistBuilding` is set and
// an invalidate from the worker when a visible row lands show it.
//
// Sharing (under `stateLock`, app/PlayerState.h): `rows`, `rowCount`, `rowWidth` and
// `rowsVersion`. A worker takes a row out of its slot under the lock (the slot is then null),
// reads the tag and renders without the lock, and puts the row back under the lock only if the
// list still names the same file at that index. So the window thread never blits a row that is
// being drawn, and never one that names a file that is gone. A build whose list changed under it
// releases every row and ends with `rowCount` 0 and the list not marked built, so the next opening
// builds again.

// Its handles are owned: deleting a row selects the DC's own objects back, then deletes the
// bitmap and the DC.
struct PlaylistRow {
    Owner<CallOnClose<HDC, DeleteDC>> dc;
    GdiObject<HBITMAP> bitmap;
    Owner<SelectBack> previousBitmap;
    Owner<SelectBack> previousFont;
    int listTop = 0;  // index * 48 of the file the row shows
};

// Bumped under the lock whenever what the rows show changes, so a composed view knows it is old.
extern unsigned rowsVersion;

// Fills a row for the given index, its DC compatible with reference (null: the screen); throws "Error initializing Device Context" or "Can't create
// buffer bitmap", leaving nothing behind.
void CreatePlaylistRow(PlaylistRow* row, HDC reference, HFONT font, int index);
// Draws the track's texts and picture (or the default picture) into the row.
void RenderPlaylistRow(PlaylistRow* row, const GlowText& text, TrackInfo& track, Gdiplus::Image* defaultPicture);
// Replaces the whole cache from the scanner's list (build worker only). False when the list
// changed under it: the cache is then empty. Throws what row creation and TrackInfo throw.
bool RebuildPlaylistRows(HWND window, Gdiplus::Image* defaultPicture);
// Renders the missing rows of a long list's window around the view (worker only), following the
// view while it moves. False when the list changed under it: the cache is then empty.
bool FillPlaylistRows(HWND window, Gdiplus::Image* defaultPicture);
// True when the rows were rendered from the list as it is now (its count and every name). Under the lock.
bool PlaylistRowsCurrent();
// True when every row the view wants is rendered. Under the lock.
bool PlaylistRowsComplete();
// The rendered row of the file at index, or null when none is ready. Under the lock.
PlaylistRow* ReadyPlaylistRow(int index);
// Releases every row and sets `rowCount` to 0 (after a failed build). Under the lock.
void DiscardPlaylistRows();
// Releases every row and the row font, under the lock; runs at process exit.
void ReleasePlaylistRows();
// After the window's scale changed: drops every row and takes the row height and font of the new
// scale. Rows being drawn at the old one are not published. Under the lock.
void ScalePlaylistRows();
