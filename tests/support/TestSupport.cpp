// Helpers shared by the tests: build folders, waiting on conditions, GDI object counts.
#include "support/TestSupport.h"

#include <cstdio>
#include <vector>

std::string MediaPath(const char* name)
{
    return std::string(LUMETRA_MEDIA_DIR) + "\\" + name;
}

std::string DistFolder()
{
    return std::string(LUMETRA_DIST_DIR) + "\\";
}

std::string TestBinFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = strrchr(path, '\\');
    if (slash) slash[1] = '\0';
    return path;
}

std::string CapturePath()
{
    char unixPath[1024] = {};
    DWORD n = GetEnvironmentVariableA("LUMETRA_CAPTURE", unixPath, sizeof unixPath);
    if (n == 0 || n >= sizeof unixPath) return "";
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string MakeTempFolder(const char* tag)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    static LONG counter = 0;
    char folder[MAX_PATH] = {};
    // Wine reuses process ids, and names outside the code page outlive RemoveTree: the time keeps
    // a later test from meeting an earlier one's folder.
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    snprintf(folder, sizeof folder, "%slumetra-%s-%lu-%ld-%llx", temp, tag, GetCurrentProcessId(),
             InterlockedIncrement(&counter), static_cast<unsigned long long>(now.QuadPart));
    RemoveTree(folder);
    CreateDirectoryA(folder, nullptr);
    return folder;
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

void PumpMessagesFor(int ms)
{
    DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        LONG left = (LONG)(end - GetTickCount());
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)left, QS_ALLINPUT);
    }
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (condition()) return true;
        LONG left = (LONG)(end - GetTickCount());
        if (left <= 0) return condition();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 10 ? (DWORD)left : 10, QS_ALLINPUT);
    }
}

DWORD GdiObjectCount()
{
    DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count != 0) return count;
    // Wine does not count GDI objects for GetGuiResources. It does accept a handle that is just a
    // table index (no generation in the high word) for any live object, so count the table's live
    // entries instead.
    for (ULONG_PTR index = 1; index < 0x10000; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
    return count;
}
