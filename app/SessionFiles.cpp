// The session files: where they live, a settings text and a path list, each written whole.
#include "app/SessionFiles.h"

#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "components/FileReading.h"
#include "components/Win32Handles.h"

namespace {

constexpr DWORD kMaxSettingsBytes = 64 * 1024;
constexpr DWORD kListChunkBytes = 64 * 1024;
constexpr size_t kMaxListLineBytes = 4096;
constexpr long long kMaxCoordinate = 100000;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool WriteAll(HANDLE file, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, part, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// Creates each missing folder on the way to the one that holds path. A part that cannot be created
// (a drive, a share) is passed over: creating the file tells whether the folder is there.
void CreateFolderOf(const std::wstring& path)
{
    size_t end = path.find_last_of(L"\\/");
    if (end == std::wstring::npos || end == 0) return;
    std::wstring folder(path, 0, end);
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != L'\\' && folder[at] != L'/') continue;
        wchar_t separator = std::exchange(folder[at], L'\0');  // at size() this is the terminator
        CreateDirectoryW(folder.c_str(), nullptr);
        folder[at] = separator;
    }
}

// Takes the next line off rest, without its "\n" or "\r\n".
std::string_view TakeLine(std::string_view& rest)
{
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::string_view TrimBlanks(std::string_view text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// No NUL, and well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsCleanText(std::string_view text)
{
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    const auto end = p + text.size();
    while (p < end) {
        unsigned char lead = *p++;
        if (lead >= 0x01 && lead <= 0x7F) continue;
        int trail = 0;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range, narrower after some leads
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (end - p < trail || *p < low || *p > high) return false;
        for (int i = 1; i < trail; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        p += trail;
    }
    return true;
}

// Decimal digits with an optional '-', nothing else, within low..high.
bool ParseInteger(std::string_view text, long long low, long long high, long long& value)
{
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return false;
    long long magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > (1LL << 40)) return false;  // past every limit here, long before an overflow
    }
    value = negative ? -magnitude : magnitude;
    return value >= low && value <= high;
}

// A text that holds a line end would come back as two lines, or as none of its own.
bool BreaksLines(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

void AppendSetting(std::string& text, const char* key, const std::string& value)
{
    text.append(key).append("=").append(value).append("\r\n");
}

}  // namespace

std::wstring SessionFolder()
{
    std::wstring base(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(L"APPDATA", &base[0], MAX_PATH);
    if (length >= MAX_PATH) {  // too long for the buffer: length is the size it needs
        base.assign(length, L'\0');
        length = GetEnvironmentVariableW(L"APPDATA", &base[0], length);
        if (length >= base.size()) length = 0;  // changed between the calls
    }
    if (length == 0) {
        base.assign(MAX_PATH, L'\0');
        length = SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, &base[0]))
                     ? static_cast<DWORD>(wcslen(base.c_str()))
                     : 0;
    }
    base.resize(length);
    while (!base.empty() && base.back() == L'\\') base.pop_back();
    return base.empty() ? std::wstring() : base + L"\\Lumetra";
}

std::wstring SettingsFilePath()
{
    std::wstring folder = SessionFolder();
    return folder.empty() ? folder : folder + L"\\settings.ini";
}

std::wstring SessionListPath()
{
    std::wstring folder = SessionFolder();
    return folder.empty() ? folder : folder + L"\\session.m3u8";
}

bool WriteFileWhole(const std::wstring& path, const std::string& bytes)
{
    if (path.empty()) return false;  // L".tmp" alone would land in the current folder
    const std::wstring temporary = path + L".tmp";
    CreateFolderOf(path);
    FileHandle file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;  // not ours to remove: another writer may hold it
    bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
    file.Reset();  // an open file cannot be moved
    // A reader that has the old file open at that moment (the player itself at its next start, a
    // text editor) can make the replace fail for an instant: it is tried again, briefly.
    for (int attempt = 0; written && attempt < 5; ++attempt) {
        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        Sleep(20);
    }
    DeleteFileW(temporary.c_str());
    return false;
}

std::string FormatSettings(const SessionSettings& settings)
{
    std::string text;
    AppendSetting(text, "volume", std::to_string(settings.volume));
    AppendSetting(text, "volume_before_mute", std::to_string(settings.volumeBeforeMute));
    AppendSetting(text, "random", settings.randomPlay ? "1" : "0");
    AppendSetting(text, "always_on_top", settings.alwaysOnTop ? "1" : "0");
    if (settings.hasWindowPlace)
        AppendSetting(text, "window", std::to_string(settings.windowLeft) + "," + std::to_string(settings.windowTop));
    AppendSetting(text, "current_index", std::to_string(settings.currentIndex));
    AppendSetting(text, "current_path", BreaksLines(settings.currentPath) ? std::string() : settings.currentPath);
    AppendSetting(text, "position_ms", std::to_string(settings.positionMs));
    return text;
}

SessionSettings ParseSettings(const std::string& bytes)
{
    SessionSettings settings;
    std::string_view rest(bytes);
    if (rest.substr(0, kBom.size()) == kBom) rest.remove_prefix(kBom.size());
    while (!rest.empty()) {
        std::string_view line = TakeLine(rest);
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = TrimBlanks(line.substr(0, equals));
        std::string_view value = TrimBlanks(line.substr(equals + 1));
        long long number = 0, top = 0;
        if (key == "volume" && ParseInteger(value, 0, 100, number)) {
            settings.volume = static_cast<int>(number);
        } else if (key == "volume_before_mute" && ParseInteger(value, 1, 100, number)) {
            settings.volumeBeforeMute = static_cast<int>(number);
        } else if (key == "random" && ParseInteger(value, 0, 1, number)) {
            settings.randomPlay = number == 1;
        } else if (key == "always_on_top" && ParseInteger(value, 0, 1, number)) {
            settings.alwaysOnTop = number == 1;
        } else if (key == "window") {
            size_t comma = value.find(',');
            if (comma != std::string_view::npos &&
                ParseInteger(TrimBlanks(value.substr(0, comma)), -kMaxCoordinate, kMaxCoordinate, number) &&
                ParseInteger(TrimBlanks(value.substr(comma + 1)), -kMaxCoordinate, kMaxCoordinate, top)) {
                settings.hasWindowPlace = true;
                settings.windowLeft = static_cast<int>(number);
                settings.windowTop = static_cast<int>(top);
            }
        } else if (key == "current_index" && ParseInteger(value, -1, INT_MAX, number)) {
            settings.currentIndex = static_cast<int>(number);
        } else if (key == "current_path") {
            settings.currentPath = IsCleanText(value) ? std::string(value) : std::string();
        } else if (key == "position_ms" && ParseInteger(value, 0, UINT32_MAX, number)) {
            settings.positionMs = static_cast<uint32_t>(number);
        }
    }
    return settings;
}

SessionSettings ReadSettings(const std::wstring& path)
{
    FileHandle file(OpenForReading(path));
    if (!file.IsValid()) return {};
    std::string bytes(kMaxSettingsBytes, '\0');
    DWORD got = 0;
    if (!ReadUpTo(file.Get(), &bytes[0], kMaxSettingsBytes, got)) return {};
    bytes.resize(got);
    // Cut at the limit, the last line may be a value's beginning ("volume=4" of "volume=45").
    if (got == kMaxSettingsBytes) bytes.resize(bytes.rfind('\n') + 1);  // npos + 1: nothing kept
    return ParseSettings(bytes);
}

std::string FormatSessionList(const std::vector<std::string>& utf8Paths)
{
    std::string text = "#EXTM3U\r\n";
    size_t size = text.size();
    for (const std::string& path : utf8Paths) size += path.size() + 2;
    text.reserve(size);
    for (const std::string& path : utf8Paths)
        if (!BreaksLines(path)) text.append(path).append("\r\n");
    return text;
}

bool ReadSessionList(const std::wstring& path, const std::function<bool(const std::string&)>& onPath, size_t maxEntries)
{
    FileHandle file(OpenForReading(path));
    if (!file.IsValid()) return false;
    if (maxEntries == 0) return true;

    // The unfinished end of one chunk moves to the front and the next chunk is read in behind it.
    // A line too long to keep is never carried: once it outgrows this (its "\r" included) the rest
    // of it is passed over up to its "\n".
    constexpr size_t kCarryLimit = kMaxListLineBytes + 1;
    std::unique_ptr<char[]> buffer(new char[kCarryLimit + kListChunkBytes]);
    std::string entry;  // one string for every entry, so its memory is reused
    size_t delivered = 0;
    // False once the list should stop.
    auto deliver = [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxListLineBytes) return true;
        line = TrimBlanks(line);
        if (line.empty() || line[0] == '#' || !IsCleanText(line)) return true;
        entry.assign(line.data(), line.size());
        return onPath(entry) && ++delivered < maxEntries;
    };

    size_t carried = 0;
    bool skipping = false;  // inside a line too long to keep
    bool atStart = true;
    for (;;) {
        DWORD got = 0;
        // A failed read ends the list there, without the unfinished line, which may be cut short.
        if (!ReadUpTo(file.Get(), buffer.get() + carried, kListChunkBytes, got)) return true;
        std::string_view rest(buffer.get(), carried + got);
        if (std::exchange(atStart, false) && rest.substr(0, kBom.size()) == kBom) rest.remove_prefix(kBom.size());
        for (size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end + 1);
            if (!std::exchange(skipping, false) && !deliver(line)) return true;
        }
        if (got < kListChunkBytes) {
            if (!skipping && !rest.empty()) deliver(rest);
            return true;
        }
        if (rest.size() > kCarryLimit) skipping = true;
        carried = skipping ? 0 : rest.size();
        memmove(buffer.get(), rest.data(), carried);
    }
}
