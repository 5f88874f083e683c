// The folder scanner: walks folders with the ANSI find functions and keeps the found paths.
#include "components/FolderScanner.h"
#include "components/ShortPath.h"
#include "components/WideText.h"
#include "components/Win32Handles.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

std::string LowerAscii(const char* text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// A name as the player's 8-bit paths carry it, and the real (long) name that Explorer's order
// compares; the two differ when the long name only has a short (8.3) form in the ANSI code page.
struct NamedEntry {
    std::string name;
    std::wstring sortKey;
};

// The 8-bit name by which the player reaches an entry of a folder: its own name where the ANSI
// code page holds it, else its short 8.3 name (ASCII); "" where the volume keeps no short names.
std::string ReachableName(const std::wstring& folder, const wchar_t* name)
{
    // A UTF-8 ANSI code page says every name, so neither the round trip nor the disk is asked for
    // one; only a name holding half a surrogate pair (which UTF-8 cannot say) takes the long way.
    if (GetACP() == CP_UTF8) {
        int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            std::string utf8(size, '\0');
            WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, &utf8[0], size, nullptr, nullptr);
            utf8.resize(size - 1);
            return utf8;
        }
    }
    char path[MAX_PATH];
    if (!GetReachablePath((folder + name).c_str(), path, sizeof path)) return {};
    return PathFindFileNameA(path);
}

// Finds a folder's entries with the quick listing (no short names, large fetches), which exists only
// from Windows 7 on; older systems refuse it, and get the plain listing.
HANDLE FindFirstEntry(const std::wstring& pattern, WIN32_FIND_DATAW* found)
{
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) find = FindFirstFileW(pattern.c_str(), found);
    return find;
}

// Explorer's name order: letter case ignored, runs of digits compared as numbers ("2" < "10").
void SortLikeExplorer(std::vector<NamedEntry>& entries)
{
    std::sort(entries.begin(), entries.end(), [](const NamedEntry& a, const NamedEntry& b) {
        int order = StrCmpLogicalW(a.sortKey.c_str(), b.sortKey.c_str());
        // Names that Explorer ranks equal still get a fixed order, byte by byte.
        return order != 0 ? order < 0 : a.name < b.name;
    });
}

// Checked by characters, not bytes: in a double-byte code page 0x5C can be a second byte.
bool EndsWithSeparator(const std::string& path)
{
    if (path.empty()) return false;
    const char* last = CharPrevA(path.c_str(), path.c_str() + path.size());
    return (*last == '\\' || *last == '/') && last == path.c_str() + path.size() - 1;
}

bool IsDotOrDotDot(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

}  // namespace

bool IsFollowedFolder(unsigned long attributes, unsigned long reparseTag)
{
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    // Symbolic links and junctions (and every other tag that names another place) can point back
    // up the tree and are not followed; other reparse points, such as the placeholders of cloud
    // storage, are ordinary folders to the user.
    return !IsReparseTagNameSurrogate(reparseTag) && reparseTag != IO_REPARSE_TAG_SYMLINK &&
           reparseTag != IO_REPARSE_TAG_MOUNT_POINT;
}

// The list behind the scanner. Names live in a deque: appending never moves a stored string, so a
// name handed out stays where it is until CleanMemory. The deque's own bookkeeping does move, so
// every look-up and append happens under `mutex`; `count` lets GetNoOfFiles answer without it.
class ScannerList {
public:
    bool AddFilter(const char* extension)
    {
        if (!extension) return false;
        if (*extension == '.') ++extension;
        if (!*extension) return false;
        std::string filter = LowerAscii(extension);
        std::lock_guard<std::mutex> guard(mutex);
        if (std::find(filters.begin(), filters.end(), filter) == filters.end()) filters.push_back(filter);
        return true;
    }

    bool Scan(const char* path)
    {
        if (!path || !*path) return false;
        std::string target(path);
        // "C:\Music\" names the folder "C:\Music", but "C:\" stays: "C:" is the current folder of C.
        while (target.size() > 1 && EndsWithSeparator(target) && target[target.size() - 2] != ':') {
            target.pop_back();
        }
        DWORD attributes = GetFileAttributesA(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;

        std::vector<std::string> wanted = CopyFilters();
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!EndsWithSeparator(target)) target += '\\';
            return ScanFolderTree(target, wanted) > 0;
        }
        if (!IsWantedFile(target, wanted)) return false;
        std::vector<std::string> single(1, target);
        return Append(single) > 0;
    }

    int GetNoOfFiles() { return count.load(std::memory_order_acquire); }

    const char* GetFileName(int index)
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (index < 0 || index >= count.load(std::memory_order_relaxed)) return nullptr;
        return names[index].c_str();
    }

    void CleanMemory()
    {
        std::lock_guard<std::mutex> guard(mutex);
        // Readers that check the count first see 0 before any name goes away.
        count.store(0, std::memory_order_release);
        std::deque<std::string>().swap(names);
    }

private:
    std::vector<std::string> CopyFilters()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return filters;
    }

    // Matched on the long name: the short name of "x.flac" ends in ".FLA".
    static bool IsWanted(const wchar_t* name, const std::vector<std::string>& wanted)
    {
        const wchar_t* dot = wcsrchr(name, L'.');
        if (!dot) return false;
        std::string extension;
        for (const wchar_t* c = dot + 1; *c; ++c) {
            if (*c > 0x7F) return false;  // filters are ASCII
            extension += static_cast<char>(*c >= L'A' && *c <= L'Z' ? *c - L'A' + L'a' : *c);
        }
        return std::find(wanted.begin(), wanted.end(), extension) != wanted.end();
    }

    // A single file is wanted by its own name, or by its long name when it is named by its short one.
    static bool IsWantedFile(const std::string& path, const std::vector<std::string>& wanted)
    {
        std::wstring wide = ConvertToWide(CP_ACP, 0, path);
        if (IsWanted(PathFindFileNameW(wide.c_str()), wanted)) return true;
        wchar_t longPath[MAX_PATH];
        DWORD length = GetLongPathNameW(wide.c_str(), longPath, MAX_PATH);
        return length > 0 && length < MAX_PATH && IsWanted(PathFindFileNameW(longPath), wanted);
    }

    // Depth first, without recursion: a folder's files, then its subfolders in name order.
    // Folders travel with their trailing separator, so names are simply appended.
    size_t ScanFolderTree(const std::string& root, const std::vector<std::string>& wanted)
    {
        size_t appended = 0;
        std::vector<std::string> pending(1, root);
        while (!pending.empty()) {
            std::string folder = std::move(pending.back());
            pending.pop_back();
            std::vector<NamedEntry> files, folders;
            ListFolder(folder, wanted, files, folders);

            std::vector<std::string> paths;
            paths.reserve(files.size());
            for (const NamedEntry& file : files) paths.push_back(folder + file.name);
            appended += Append(paths);
            // Pushed last-first so that the first subfolder is taken next.
            for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
                pending.push_back(folder + it->name + '\\');
            }
        }
        return appended;
    }

    static void ListFolder(const std::string& folder, const std::vector<std::string>& wanted,
                           std::vector<NamedEntry>& files, std::vector<NamedEntry>& folders)
    {
        std::wstring wideFolder = ConvertToWide(CP_ACP, 0, folder);
        WIN32_FIND_DATAW found;
        FindHandle find(FindFirstEntry(wideFolder + L'*', &found));
        if (!find.IsValid()) return;
        do {
            found.cFileName[MAX_PATH - 1] = L'\0';
            if (IsDotOrDotDot(found.cFileName)) continue;
            bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isFolder ? !IsFollowedFolder(found.dwFileAttributes, found.dwReserved0)
                         : !IsWanted(found.cFileName, wanted))
                continue;
            std::string name = ReachableName(wideFolder, found.cFileName);
            if (name.empty()) continue;  // no 8-bit path reaches it
            (isFolder ? folders : files).push_back(NamedEntry{std::move(name), found.cFileName});
        } while (FindNextFileW(find.Get(), &found));
        SortLikeExplorer(files);
        SortLikeExplorer(folders);
    }

    size_t Append(std::vector<std::string>& paths)
    {
        std::lock_guard<std::mutex> guard(mutex);
        for (std::string& path : paths) {
            names.push_back(std::move(path));
            // Published only once the name is stored.
            count.store(static_cast<int>(names.size()), std::memory_order_release);
        }
        return paths.size();
    }

    std::mutex mutex;
    std::deque<std::string> names;
    std::atomic<int> count{0};
    std::vector<std::string> filters;
};

FolderScanner::FolderScanner() : list(new (std::nothrow) ScannerList)
{
    if (!list) throw "Not enough memory for the file list.";
}

FolderScanner::~FolderScanner()
{
    delete list;
}

bool FolderScanner::AddFilter(const char* extension)
{
    return list->AddFilter(extension);
}

bool FolderScanner::Scan(const char* path)
{
    // Scans run on intake workers, where nothing may escape; entries appended so far stay.
    try {
        return list->Scan(path);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int FolderScanner::GetNoOfFiles()
{
    return list->GetNoOfFiles();
}

const char* FolderScanner::GetFileName(int index)
{
    return list->GetFileName(index);
}

void FolderScanner::CleanMemory()
{
    list->CleanMemory();
}
