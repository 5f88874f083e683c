// Small owners for Win32 handles, so a handle is let go on every way out of a scope.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <uxtheme.h>

#include <cstdio>
#include <memory>
#include <utility>

// The one owner shape. Closer names the Handle type, which handles it Holds (the others are none),
// and how to Close one; it may carry what closing needs, such as the DC's window. A move hands the
// handle over and leaves the source holding none.
template <typename Closer>
class Owner {
public:
    using Handle = typename Closer::Handle;

    explicit Owner(Handle handle = Handle(), Closer closer = Closer()) : handle(handle), closer(closer) {}
    ~Owner() { Reset(); }
    Owner(Owner&& other) noexcept : handle(other.Release()), closer(other.closer) {}
    Owner& operator=(Owner&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
            closer = other.closer;
        }
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    bool IsValid() const { return Closer::Holds(handle); }
    Handle Get() const { return handle; }
    Handle Release() { return std::exchange(handle, Handle()); }  // the caller owns it now
    void Reset(Handle replacement = Handle())
    {
        if (IsValid()) closer.Close(handle);
        handle = replacement;
    }

private:
    Handle handle;
    Closer closer;
};

// The part most closers share: null holds nothing.
template <typename T>
struct NullIsNone {
    using Handle = T;
    static bool Holds(T handle) { return handle != nullptr; }
};

// Closes with Function(handle).
template <typename T, auto Function>
struct CallOnClose : NullIsNone<T> {
    void Close(T handle) const { Function(handle); }
};

// CreateFile and FindFirstFile say "none" with INVALID_HANDLE_VALUE, other kernel calls with null.
template <BOOL(WINAPI* Function)(HANDLE)>
struct CloseKernelHandle : CallOnClose<HANDLE, Function> {
    static bool Holds(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
};

template <BOOL(WINAPI* Function)(HANDLE)>
using ScopedHandle = Owner<CloseKernelHandle<Function>>;
using FileHandle = ScopedHandle<CloseHandle>;
using FindHandle = ScopedHandle<FindClose>;

// A GDI object this code created (bitmap, font, brush, region), deleted at the end of the scope.
// Declare it before the Selection that puts it into a DC, so the selection is undone first.
template <typename T>
using GdiObject = Owner<CallOnClose<T, DeleteObject>>;

// A memory device context this code created (DeleteDC); never a window's DC, which is borrowed.
class MemoryDC : public Owner<CallOnClose<HDC, DeleteDC>> {
public:
    explicit MemoryDC(HDC compatibleWith) : Owner(CreateCompatibleDC(compatibleWith)) {}
};

struct ReleaseToWindow : NullIsNone<HDC> {
    explicit ReleaseToWindow(HWND window = nullptr) : window(window) {}
    void Close(HDC dc) const { ReleaseDC(window, dc); }
    HWND window;
};

// A window's DC borrowed with GetDC and given back with ReleaseDC, never deleted. Not the player's
// kept windowDC, which lives as long as the window.
class BorrowedDC : public Owner<ReleaseToWindow> {
public:
    explicit BorrowedDC(HWND window) : Owner(GetDC(window), ReleaseToWindow(window)) {}
};

struct SelectBack {
    using Handle = HGDIOBJ;
    explicit SelectBack(HDC dc = nullptr) : dc(dc) {}
    static bool Holds(HGDIOBJ previous) { return previous != nullptr && previous != HGDI_ERROR; }
    void Close(HGDIOBJ previous) const { SelectObject(dc, previous); }
    HDC dc;
};

// Selects an object into a DC and selects the previous one back at the end of the scope. A null
// object selects nothing.
class Selection : public Owner<SelectBack> {
public:
    Selection(HDC dc, HGDIOBJ object) : Owner(object ? SelectObject(dc, object) : nullptr, SelectBack(dc)) {}
};

// Visual-style data opened by this code (CloseThemeData); none when the class could not be opened.
class ThemeData : public Owner<CallOnClose<HTHEME, CloseThemeData>> {
public:
    explicit ThemeData(const wchar_t* classList) : Owner(OpenThemeData(nullptr, classList)) {}
};

// The header of a 32-bit DIB with top-down rows; every other field 0.
inline BITMAPINFO TopDownBitmapInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A 32-bit top-down DIB section this code created, all pixels 0 at first, with its pixel memory.
// The pixels go with the bitmap, so it moves whole but is never released or reset apart from them.
class DibSection {
public:
    DibSection(HDC reference, int width, int height) : bits(nullptr)
    {
        BITMAPINFO info = TopDownBitmapInfo(width, height);
        bitmap.Reset(CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    }
    DibSection(DibSection&& other) noexcept : bitmap(std::move(other.bitmap)), bits(std::exchange(other.bits, nullptr))
    {
    }
    DibSection& operator=(DibSection&& other) noexcept
    {
        bitmap = std::move(other.bitmap);
        bits = std::exchange(other.bits, nullptr);
        return *this;
    }
    HBITMAP Get() const { return bitmap.Get(); }
    DWORD* Pixels() const { return static_cast<DWORD*>(bits); }

private:
    GdiObject<HBITMAP> bitmap;
    void* bits;
};

// Pointers to objects keep std::unique_ptr, which already has this shape for them (and the -> a
// COM interface needs): COM interfaces (Release) and C runtime files (fclose).
struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;
