// Test pictures for the skin image tests: a folder of .mtx files written as PNGs, and a canvas.
#pragma once

#include "components/WideText.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

// Colours as GDI+ ARGB values; every look in the tests has its own.
const Gdiplus::ARGB kRed = 0xFFFF0000;
const Gdiplus::ARGB kGreen = 0xFF00FF00;
const Gdiplus::ARGB kBlue = 0xFF0000FF;
const Gdiplus::ARGB kClear = 0x00000000;

// A fresh folder for the test's pictures, and a transparent canvas to draw them on.
class SkinImageTest : public testing::Test {
protected:
    SkinImageTest() { Clear(); }
    void TearDown() override { RemoveTree(folder); }

    // Writes a PNG into the folder, its columns from splitX on in the second colour; its wide path.
    std::wstring Png(const char* name, int width, int height, Gdiplus::ARGB left, Gdiplus::ARGB right = 0,
                     int splitX = INT_MAX)
    {
        const CLSID pngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(x < splitX ? left : right));
        }
        const std::wstring path = ConvertToWide(CP_ACP, 0, folder + "\\" + name);
        EXPECT_EQ(Gdiplus::Ok, bitmap.Save(path.c_str(), &pngEncoder, nullptr)) << name;
        return path;
    }

    void Clear() { graphics.Clear(Gdiplus::Color(kClear)); }
    Gdiplus::ARGB At(int x, int y)
    {
        graphics.Flush(Gdiplus::FlushIntentionSync);
        Gdiplus::Color colour;
        canvas.GetPixel(x, y, &colour);
        return colour.GetValue();
    }

    std::string folder = MakeTempFolder("skin");
    Gdiplus::Bitmap canvas{40, 40, PixelFormat32bppARGB};
    Gdiplus::Graphics graphics{&canvas};
};
