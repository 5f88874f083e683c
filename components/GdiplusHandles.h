// What GDI+ lends out, owned: a bitmap's locked pixels. Apart from Win32Handles.h so that the
// scanner and the decoders, which include that, do without GDI+.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include "components/Win32Handles.h"

// Keeps a bitmap's pixels locked as 32-bit premultiplied ARGB for the life of the object. Not an
// Owner: what it holds is no handle but the lock's description, which Row reads.
class LockedBits {
public:
    LockedBits(Gdiplus::Bitmap& bitmap, UINT width, UINT height, UINT mode) : bitmap(bitmap)
    {
        Gdiplus::Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
        locked = bitmap.LockBits(&all, mode, PixelFormat32bppPARGB, &data) == Gdiplus::Ok;
    }
    ~LockedBits()
    {
        if (locked) bitmap.UnlockBits(&data);
    }
    LockedBits(const LockedBits&) = delete;
    LockedBits& operator=(const LockedBits&) = delete;
    bool IsLocked() const { return locked; }
    BYTE* Row(UINT y) const { return static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride; }

private:
    Gdiplus::Bitmap& bitmap;
    Gdiplus::BitmapData data{};
    bool locked;
};
