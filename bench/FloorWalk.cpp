// The least a folder scan must do: a FindFirstFileA walk of the tree that keeps the path of every
// file with a supported extension (any letter case). Prints "walk files=<n> ms=<milliseconds>".
//   FloorWalk.exe FOLDER
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "components/Win32Handles.h"

namespace {

bool Supported(const char* name)
{
    const char* dot = strrchr(name, '.');
    return dot && (_stricmp(dot, ".mp3") == 0 || _stricmp(dot, ".ogg") == 0 || _stricmp(dot, ".flac") == 0);
}

void Walk(const std::string& folder, std::vector<std::string>& found)
{
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find.IsValid()) return;
    do {
        if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(folder + "\\" + data.cFileName, found);
        else if (Supported(data.cFileName))
            found.push_back(folder + "\\" + data.cFileName);
    } while (FindNextFileA(find.Get(), &data));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: FloorWalk.exe FOLDER\n");
        return 2;
    }
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::vector<std::string> found;
    Walk(argv[1], found);
    QueryPerformanceCounter(&end);
    printf("walk files=%zu ms=%.1f\n", found.size(), (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    return 0;
}
