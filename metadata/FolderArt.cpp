// The picture kept beside an album's files (cover.jpg and its kin), decoded once per folder and
// handed to each record as a thumbnail of its own.
#include "metadata/FolderArt.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "components/GdiplusHandles.h"
#include "components/Win32Handles.h"
#include "components/WideText.h"
#include "metadata/CoverThumbnail.h"

namespace {

const size_t kCachedFolders = 32;

std::atomic<long> decodes{0};

// The name's place in the order of preference (0 is best), or -1 for a name that is no candidate.
int RankOf(const wchar_t* name)
{
    static const wchar_t* const stems[] = {L"cover", L"folder", L"front", L"album"};
    static const wchar_t* const extensions[] = {L".jpg", L".jpeg", L".png"};
    const int extensionCount = sizeof extensions / sizeof extensions[0];
    int rank = 0;
    for (const wchar_t* stem : stems) {
        size_t length = wcslen(stem);
        if (_wcsnicmp(name, stem, length) == 0)
            for (int e = 0; e < extensionCount; ++e)
                if (_wcsicmp(name + length, extensions[e]) == 0) return rank + e;
        rank += extensionCount;
    }
    return -1;
}

// The full path of the folder's preferred picture, or "" when it has none. One listing rather than
// a probe for each of the twelve names: it meets every letter case, and under Wine each probe that
// misses reads the whole folder anyway to match the name without case.
std::wstring FindPicture(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
    if (!find.IsValid()) return {};
    int best = -1;
    std::wstring name;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        int rank = RankOf(found.cFileName);
        if (rank >= 0 && (best < 0 || rank < best)) {
            best = rank;
            name = found.cFileName;
        }
    } while (best != 0 && FindNextFileW(find.Get(), &found));
    return best < 0 ? std::wstring() : folder + L"\\" + name;
}

// The file's bytes; empty when it cannot be read, is empty, or is larger than a cover may be.
// Never more than its size when opened is read, so a file that grows meanwhile stays bounded.
std::vector<unsigned char> ReadBoundedFile(const std::wstring& path)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kMaxCoverBytes)
        return {};
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    size_t filled = 0;
    DWORD read = 0;
    while (filled < bytes.size() &&
           ReadFile(file.Get(), bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &read, nullptr) &&
           read > 0)
        filled += read;
    bytes.resize(filled);
    return bytes;
}

// The thumbnail's premultiplied ARGB pixels, row by row; empty when the picture is too large or
// does not decode. Plain memory rather than a GDI+ object, so that the cache, which outlives
// GdiplusShutdown, holds nothing GDI+ must free, and threads copy it without taking turns.
std::vector<uint32_t> DecodeThumbnailPixels(const std::vector<unsigned char>& bytes)
{
    const UINT side = static_cast<UINT>(CoverThumbnailSide());
    Gdiplus::Image* scaled = nullptr;
    if (bytes.empty() || ScaleCover(bytes.data(), bytes.size(), scaled) != CoverOutcome::Scaled || !scaled) return {};
    std::unique_ptr<Gdiplus::Image> thumbnail(scaled);

    Gdiplus::Bitmap canvas(side, side, PixelFormat32bppPARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        if (graphics.DrawImage(thumbnail.get(), 0, 0, side, side) != Gdiplus::Ok) return {};
    }
    LockedBits bits(canvas, side, side, Gdiplus::ImageLockModeRead);
    if (!bits.IsLocked()) return {};
    std::vector<uint32_t> pixels(side * side);
    for (UINT y = 0; y < side; ++y) memcpy(&pixels[y * side], bits.Row(y), side * sizeof(uint32_t));
    return pixels;
}

std::vector<uint32_t> LookAtFolder(const std::wstring& folder)
{
    std::wstring picture = FindPicture(folder);
    if (picture.empty()) return {};
    ++decodes;
    return DecodeThumbnailPixels(ReadBoundedFile(picture));
}

// pixels: a square, made at the scale of its time.
Gdiplus::Image* MakeThumbnail(const std::vector<uint32_t>& pixels)
{
    UINT side = 1;
    while (side * side < pixels.size()) ++side;
    // GDI+ objects come from GdipAlloc, which gives null rather than bad_alloc.
    std::unique_ptr<Gdiplus::Bitmap> copy(new Gdiplus::Bitmap(side, side, PixelFormat32bppPARGB));
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok) return nullptr;
    {
        LockedBits bits(*copy, side, side, Gdiplus::ImageLockModeWrite);
        if (!bits.IsLocked()) return nullptr;
        for (UINT y = 0; y < side; ++y) memcpy(bits.Row(y), &pixels[y * side], side * sizeof(uint32_t));
    }
    return copy.release();
}

// One folder's outcome. Its lock is held while the folder is looked at, so threads that ask at
// once wait for that one look rather than each decoding the picture; pixels are written only then
// and never after, so whoever finds `looked` set under the lock reads them without it.
struct FolderEntry {
    explicit FolderEntry(std::wstring folder) : folder(std::move(folder)) {}
    const std::wstring folder;
    std::mutex lock;
    bool looked = false;
    std::vector<uint32_t> pixels;  // empty: nothing to show
};

// The last folders asked for, most recent first. Entries are shared, so one dropped from the list
// stays whole for the threads still using it.
class FolderCache {
public:
    std::shared_ptr<FolderEntry> Find(const std::wstring& folder)
    {
        std::lock_guard<std::mutex> guard(lock);  // a leaf: no entry's lock is taken under it
        for (size_t i = 0; i < entries.size(); ++i) {
            if (CompareStringOrdinal(entries[i]->folder.c_str(), -1, folder.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
            std::shared_ptr<FolderEntry> entry = entries[i];
            entries.erase(entries.begin() + i);
            entries.insert(entries.begin(), entry);
            return entry;
        }
        auto entry = std::make_shared<FolderEntry>(folder);
        entries.insert(entries.begin(), entry);
        if (entries.size() > kCachedFolders) entries.pop_back();
        return entry;
    }

private:
    std::mutex lock;
    std::vector<std::shared_ptr<FolderEntry>> entries;
};

// Never deleted: a worker may still make a record while the process exits.
FolderCache& Cache()
{
    static FolderCache* cache = new FolderCache;
    return *cache;
}

// The full path of the file's folder, without a trailing backslash; "" when there is none.
std::wstring FolderOf(const char* path)
{
    std::wstring wide = ConvertToWide(CP_ACP, 0, std::string(path ? path : ""));
    if (wide.empty()) return {};
    DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return {};
    std::wstring full(need, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), need, &full[0], nullptr);
    if (length == 0 || length >= need) return {};
    full.resize(length);
    size_t separator = full.rfind(L'\\');
    return separator == std::wstring::npos ? std::wstring() : full.substr(0, separator);
}

}  // namespace

Gdiplus::Image* CopyFolderArt(const char* path)
{
    // Art from the folder is an extra: when memory runs out the record goes without it.
    try {
        std::wstring folder = FolderOf(path);
        if (folder.empty()) return nullptr;
        std::shared_ptr<FolderEntry> entry = Cache().Find(folder);
        {
            std::lock_guard<std::mutex> guard(entry->lock);
            if (!entry->looked) {
                entry->pixels = LookAtFolder(folder);
                entry->looked = true;
            }
        }
        return entry->pixels.empty() ? nullptr : MakeThumbnail(entry->pixels);
    } catch (const std::exception&) {
        return nullptr;
    }
}

long FolderArtDecodes()
{
    return decodes.load();
}
