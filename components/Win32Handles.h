// Small owners for Win32 handles, so a handle is let go on every way out of a scope.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <uxtheme.h>

// A kernel or find handle closed by Close; null and INVALID_HANDLE_VALUE mean none.
template <BOOL(WINAPI* Close)(HANDLE)>
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle) : handle(handle) {}
    ~ScopedHandle() {
        if (IsValid()) Close(handle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    bool IsValid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

using FileHandle = ScopedHandle<CloseHandle>;
using FindHandle = ScopedHandle<FindClose>;

// A zero-filled, fixed global memory block.
class GlobalMemory {
public:
    explicit GlobalMemory(SIZE_T size) : handle(GlobalAlloc(GMEM_ZEROINIT, size)) {}
    ~GlobalMemory() {
        if (handle) GlobalFree(handle);
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    HGLOBAL handle;
};

// Deleter for COM pointers held in a std::unique_ptr.
struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};

// A memory device context this code created (DeleteDC); never a window's DC, which is borrowed.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() {
        if (dc) DeleteDC(dc);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return dc; }

private:
    HDC dc;
};

// A window's DC borrowed with GetDC and given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window(window), dc(GetDC(window)) {}
    ~WindowDC() {
        if (dc) ReleaseDC(window, dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc; }

private:
    HWND window;
    HDC dc;
};

// A GDI object this code created (bitmap, font, brush, region), deleted at the end of the scope.
// Declare it before the Selection that puts it into a DC, so the selection is undone first.
template <typename T>
class GdiObject {
public:
    explicit GdiObject(T object) : object(object) {}
    ~GdiObject() {
        if (object) DeleteObject(object);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    T Get() const { return object; }

private:
    T object;
};

// Selects an object into a DC and selects the previous one back at the end of the scope. A null
// object selects nothing.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc(dc), previous(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous && previous != HGDI_ERROR) SelectObject(dc, previous);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

// Visual-style data opened by this code (CloseThemeData); null when the class could not be opened.
class ThemeData {
public:
    explicit ThemeData(const wchar_t* classList) : theme(OpenThemeData(nullptr, classList)) {}
    ~ThemeData() {
        if (theme) CloseThemeData(theme);
    }
    ThemeData(const ThemeData&) = delete;
    ThemeData& operator=(const ThemeData&) = delete;
    HTHEME Get() const { return theme; }

private:
    HTHEME theme;
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
class DibSection {
public:
    DibSection(HDC reference, int width, int height) : bitmap(nullptr), bits(nullptr)
    {
        BITMAPINFO info = TopDownBitmapInfo(width, height);
        bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    ~DibSection() {
        if (bitmap) DeleteObject(bitmap);
    }
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    HBITMAP Get() const { return bitmap; }
    DWORD* Pixels() const { return static_cast<DWORD*>(bits); }

private:
    HBITMAP bitmap;
    void* bits;
};
