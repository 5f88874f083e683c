// The least a skinned window must do before its first frame: load the skin's images with GDI+
// and paint the idle view (the About picture and the buttons) straight onto the window.
//   FloorWindow.exe DIST-FOLDER     (the folder that holds About.mtx and DefaultTheme\)
#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/SkinFiles.h"

namespace {

std::vector<std::unique_ptr<Gdiplus::Bitmap>> images;

void Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    {
        Gdiplus::Graphics graphics(dc);
        for (size_t i = 0; i < images.size(); ++i) {
            const Placed& place = kSkin[i];
            if (place.width > 0) graphics.DrawImage(images[i].get(), place.x, place.y, place.width, place.height);
        }
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: FloorWindow.exe DIST-FOLDER\n");
        return 2;
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    wchar_t folder[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, folder, MAX_PATH - 1);
    size_t length = wcslen(folder);
    if (length && folder[length - 1] != L'\\') folder[length] = L'\\';
    for (const Placed& place : kSkin) {
        std::unique_ptr<Gdiplus::Bitmap> image(new Gdiplus::Bitmap((std::wstring(folder) + place.file).c_str()));
        if (image->GetLastStatus() != Gdiplus::Ok) {
            fprintf(stderr, "floor-window: cannot load %ls\n", place.file);
            return 1;
        }
        images.push_back(std::move(image));
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = L"LumetraFloorWindow";
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, L"Floor window", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                        CW_USEDEFAULT, 0, 360, 290, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNORMAL);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
    images.clear();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
