// Test pictures for the skin image tests: .mtx files written as PNGs, and a canvas to draw on.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <string>
#include <vector>

// Colours as GDI+ ARGB values; every look in the tests has its own.
const Gdiplus::ARGB kRed = 0xFFFF0000;
const Gdiplus::ARGB kGreen = 0xFF00FF00;
const Gdiplus::ARGB kBlue = 0xFF0000FF;
const Gdiplus::ARGB kClear = 0x00000000;

inline bool FindPngEncoder(CLSID& clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// Writes a PNG whose columns from splitX on have the second colour (the whole image the first
// colour when splitX is the width).
inline bool WriteTestPng(const std::wstring& path, int width, int height, Gdiplus::ARGB left,
                         Gdiplus::ARGB right = 0, int splitX = -1) {
    if (splitX < 0) splitX = width;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(x < splitX ? left : right));
    }
    CLSID png;
    return FindPngEncoder(png) && bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

inline std::wstring Widen(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    return wide;
}

// A transparent ARGB bitmap with a graphics object over it.
struct Canvas {
    Gdiplus::Bitmap bitmap;
    Gdiplus::Graphics graphics;

    Canvas(int width, int height) : bitmap(width, height, PixelFormat32bppARGB), graphics(&bitmap) { Clear(); }
    void Clear() { graphics.Clear(Gdiplus::Color(kClear)); }
    Gdiplus::ARGB At(int x, int y) {
        graphics.Flush(Gdiplus::FlushIntentionSync);
        Gdiplus::Color colour;
        bitmap.GetPixel(x, y, &colour);
        return colour.GetValue();
    }
};
