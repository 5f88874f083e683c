// Playlist files: telling one by its name, reading its entries as the scanner's paths, writing one.
#include "intake/PlaylistFile.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

#include "components/FileReading.h"
#include "components/ShortPath.h"
#include "components/WideText.h"
#include "components/Win32Handles.h"

namespace {

constexpr DWORD kChunkBytes = 64 * 1024;
constexpr unsigned long long kMaxFileBytes = 64ull * 1024 * 1024;
constexpr size_t kMaxLineBytes = 4096;
constexpr size_t kMaxEntries = 100000;
constexpr size_t kMaxPathBytes = 1024;  // as a dropped path may be
constexpr std::string_view kBom = "\xEF\xBB\xBF";

enum class Format { None, M3u, M3u8, Pls };

// Compared in ASCII: a locale's own case rules (the Turkish dotless i) must not decide a file type.
template <typename Char>
Format FormatOfExtension(const Char* extension)
{
    std::string lower;
    for (const Char* c = extension; *c && lower.size() < 6; ++c) {
        const auto code = static_cast<std::make_unsigned_t<Char>>(*c);
        if (code > 0x7F) return Format::None;
        lower += static_cast<char>(code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code);
    }
    if (lower == ".m3u") return Format::M3u;
    if (lower == ".m3u8") return Format::M3u8;
    if (lower == ".pls") return Format::Pls;
    return Format::None;
}

// Calls onLine with each line of at most kMaxLineBytes, in order, without its "\n" or "\r\n", and
// whether the file began with a UTF-8 BOM (which is no line's); stops when onLine returns false.
// Longer lines are passed over, and so is the line that the end of a failed read or kMaxFileBytes
// cuts: its beginning could name the folder above the file it names.
void ReadLines(HANDLE file, const std::function<bool(std::string_view line, bool bom)>& onLine)
{
    // The unfinished end of one chunk moves to the front and the next chunk is read in behind it.
    // A line too long to keep is never carried: once it outgrows this (its "\r" included) the rest
    // of it is passed over up to its "\n".
    constexpr size_t kCarryLimit = kMaxLineBytes + 1;
    std::unique_ptr<char[]> buffer(new char[kCarryLimit + kChunkBytes]);
    bool bom = false, atStart = true, skipping = false;
    size_t carried = 0;
    unsigned long long total = 0;
    auto deliver = [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line.size() > kMaxLineBytes || onLine(line, bom);
    };
    for (;;) {
        const DWORD want = static_cast<DWORD>(std::min<unsigned long long>(kChunkBytes, kMaxFileBytes - total));
        DWORD got = 0;
        if (!ReadUpTo(file, buffer.get() + carried, want, got)) return;
        total += got;
        std::string_view rest(buffer.get(), carried + got);
        if (std::exchange(atStart, false) && rest.substr(0, kBom.size()) == kBom) {
            bom = true;
            rest.remove_prefix(kBom.size());
        }
        for (size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end + 1);
            if (!std::exchange(skipping, false) && !deliver(line)) return;
        }
        if (got < want) {  // the file ended
            if (!skipping && !rest.empty()) deliver(rest);
            return;
        }
        if (total >= kMaxFileBytes) return;
        if (rest.size() > kCarryLimit) skipping = true;
        carried = skipping ? 0 : rest.size();
        memmove(buffer.get(), rest.data(), carried);
    }
}

std::string_view TrimBlanks(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// For a .pls "FileN=path" line (the key in any case, blanks around key and path), leaves the path
// in line; false for every other line.
bool TakeFileValue(std::string_view& line)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = TrimBlanks(line.substr(0, equals));
    if (key.size() < 5 || key.find_first_not_of("0123456789", 4) != std::string_view::npos) return false;
    for (size_t i = 0; i < 4; ++i)
        if ((key[i] | 0x20) != "file"[i]) return false;
    line = TrimBlanks(line.substr(equals + 1));
    return !line.empty();
}

// No file name holds one, and a NUL would cut the path short. Checked on the bytes: no code page
// has a byte below 0x20 inside a character.
bool HoldsControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// The length of the "scheme" a URL begins with before its ':', or 0. One letter before the ':'
// is a drive, not a scheme.
size_t UrlSchemeLength(const std::wstring& text)
{
    size_t at = 0;
    while (at < text.size() &&
           (IsAsciiLetter(text[at]) || (at > 0 && ((text[at] >= L'0' && text[at] <= L'9') || text[at] == L'+' ||
                                                   text[at] == L'-' || text[at] == L'.'))))
        ++at;
    return at >= 2 && at < text.size() && text[at] == L':' ? at : 0;
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// %XX escapes are the bytes of UTF-8, decoded run by run since one character can take several. ""
// when a run is no UTF-8 or the text comes to hold a control character.
std::wstring PercentDecoded(const std::wstring& text)
{
    std::wstring decoded;
    std::string run;
    auto endRun = [&] {
        if (run.empty()) return true;
        const std::wstring part = ConvertToWide(CP_UTF8, MB_ERR_INVALID_CHARS, run);
        run.clear();
        decoded += part;
        return !part.empty();
    };
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == L'%' && at + 2 < text.size() && HexValue(text[at + 1]) >= 0 && HexValue(text[at + 2]) >= 0) {
            run += static_cast<char>(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]));
            at += 2;
            continue;
        }
        if (!endRun()) return {};
        decoded += text[at];
    }
    if (!endRun()) return {};
    if (std::any_of(decoded.begin(), decoded.end(), [](wchar_t c) { return c < 0x20; })) return {};
    return decoded;
}

// What follows "file:" as a path: "///C:/x", "//localhost/C:/x" and "/C:/x" name "C:/x" on this
// PC, "//server/share/x" a share. "" when it names none.
std::wstring PathOfFileUrl(std::wstring rest)
{
    if (rest.compare(0, 2, L"//") == 0) {
        const size_t hostEnd = rest.find(L'/', 2);
        if (hostEnd == std::wstring::npos) return {};
        const std::wstring host = rest.substr(2, hostEnd - 2);
        if (host.empty() || _wcsicmp(host.c_str(), L"localhost") == 0) rest.erase(0, hostEnd);
    }
    std::wstring path = PercentDecoded(rest);
    if (path.size() >= 3 && path[0] == L'/' && IsAsciiLetter(path[1]) && path[2] == L':') path.erase(0, 1);
    return path;
}

// The absolute form of path, with "." and ".." taken out; "" when there is none.
std::wstring FullPathOf(const std::wstring& path)
{
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

// The path with every short name in it long; the path itself when that cannot be found.
std::wstring LongPathOf(const std::wstring& path)
{
    const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return path;
    std::wstring longPath(size, L'\0');
    const DWORD length = GetLongPathNameW(path.c_str(), &longPath[0], size);
    if (length == 0 || length >= size) return path;
    longPath.resize(length);
    return longPath;
}

// Where a playlist's entries are taken from: its folder (with its trailing '\') for relative ones,
// its drive ("C:") or share ("\\server\share") for rooted ones.
struct PlaylistPlace {
    explicit PlaylistPlace(const std::wstring& playlist)
        : folder(playlist, 0, PathFindFileNameW(playlist.c_str()) - playlist.c_str())
    {
        const wchar_t* afterRoot = PathSkipRootW(playlist.c_str());
        if (afterRoot) root.assign(playlist.c_str(), afterRoot);
        while (!root.empty() && root.back() == L'\\') root.pop_back();
    }

    // The entry as an absolute path; "" for a URL other than file:, and for a drive-relative path.
    std::wstring Resolve(std::wstring entry) const
    {
        if (const size_t scheme = UrlSchemeLength(entry)) {
            if (scheme != 4 || _wcsnicmp(entry.c_str(), L"file", 4) != 0) return {};
            entry = PathOfFileUrl(entry.substr(5));
            if (entry.empty()) return {};
        }
        std::replace(entry.begin(), entry.end(), L'/', L'\\');
        if (entry.compare(0, 2, L"\\\\") == 0) return FullPathOf(entry);
        if (entry.size() >= 2 && IsAsciiLetter(entry[0]) && entry[1] == L':')
            return entry.size() >= 3 && entry[2] == L'\\' ? FullPathOf(entry) : std::wstring();
        return FullPathOf((entry[0] == L'\\' ? root : folder) + entry);
    }

    std::wstring folder;
    std::wstring root;
};

// The entry's text; "" when its encoding cannot have these bytes.
std::wstring DecodeEntry(std::string_view bytes, Format format, bool bom, UINT legacyCodePage)
{
    const std::string text(bytes);
    if (format == Format::M3u8 || (format == Format::M3u && bom))
        return ConvertToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
    if (format == Format::M3u) return ConvertToWide(legacyCodePage, MB_ERR_INVALID_CHARS, text);
    std::wstring wide = ConvertToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
    return wide.empty() && !bom ? ConvertToWide(legacyCodePage, MB_ERR_INVALID_CHARS, text) : wide;
}

// The text on one line: a line end would split it.
std::string OneLineUtf8(const std::wstring& text)
{
    std::string utf8 = ConvertToUtf8(text);
    std::replace_if(
        utf8.begin(), utf8.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return utf8;
}

}  // namespace

bool IsPlaylistPath(const char* path)
{
    return path && FormatOfExtension(PathFindExtensionA(path)) != Format::None;
}

bool ReadPlaylistFile(const char* path, const std::function<void(const std::string& entryPath)>& onEntry)
{
    if (!IsPlaylistPath(path)) return false;
    const std::wstring full = FullPathOf(ConvertToWide(CP_ACP, 0, std::string(path)));
    if (full.empty()) return false;
    FileHandle file(OpenForReading(full));
    if (!file.IsValid()) return false;
    // Told by its long name: the short name of an .m3u8 says .M3U.
    const std::wstring playlist = LongPathOf(full);
    const Format format = FormatOfExtension(PathFindExtensionW(playlist.c_str()));
    if (format == Format::None) return false;

    const PlaylistPlace place(playlist);
    const UINT legacyCodePage = UserLegacyCodePage();
    size_t entries = 0;
    std::string reachable(kMaxPathBytes, '\0');
    ReadLines(file.Get(), [&](std::string_view line, bool bom) {
        line = TrimBlanks(line);
        if (line.empty() || line[0] == '#') return true;
        if (format == Format::Pls && !TakeFileValue(line)) return true;
        if (!HoldsControlCharacter(line)) {
            const std::wstring text = DecodeEntry(line, format, bom, legacyCodePage);
            const std::wstring resolved = text.empty() ? text : place.Resolve(text);
            if (!resolved.empty() && GetReachablePath(resolved.c_str(), &reachable[0], reachable.size()))
                onEntry(std::string(reachable.c_str()));
        }
        return ++entries < kMaxEntries;
    });
    return true;
}

std::string FormatM3u8Playlist(const std::vector<PlaylistEntry>& entries)
{
    std::string text = "#EXTM3U\r\n";
    for (const PlaylistEntry& entry : entries) {
        const std::string& path = entry.path;
        if (path.empty() || path[0] == '#' || path.find_first_of("\r\n") != std::string::npos) continue;
        const std::string artist = OneLineUtf8(entry.artist), title = OneLineUtf8(entry.title);
        if (entry.seconds >= 0 || !artist.empty() || !title.empty()) {
            const std::string shown = artist.empty() || title.empty() ? artist + title : artist + " - " + title;
            text.append("#EXTINF:").append(std::to_string(std::max(entry.seconds, -1))).append(",");
            text.append(shown).append("\r\n");
        }
        text.append(path).append("\r\n");
    }
    return text;
}
