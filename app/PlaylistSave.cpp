// "Save playlist as": the list written as an .m3u8 file, with each file's length and tags.
#include "app/PlaylistSave.h"

#include <process.h>

#include <memory>
#include <string>
#include <vector>

#include "app/FileDialogs.h"
#include "app/PlayerState.h"
#include "app/SessionFiles.h"
#include "components/AudioDecoder.h"
#include "components/FolderScanner.h"
#include "components/WideText.h"
#include "intake/PlaylistFile.h"
#include "metadata/TrackInfo.h"

namespace {

struct SaveArgs {
    HWND window;
    std::wstring target;
    std::vector<std::string> names;  // as the list keeps them
};

// A tag text, or nothing where the tag has none.
std::wstring TagText(const wchar_t* text)
{
    return wcscmp(text, kMissingText) == 0 ? std::wstring() : std::wstring(text);
}

PlaylistEntry EntryOf(const std::string& name)
{
    PlaylistEntry entry;
    // The long name, as its owner knows it: the list may hold a file by its short name.
    std::wstring path = ConvertToWide(CP_ACP, 0, name);
    wchar_t longPath[MAX_PATH];
    const DWORD length = GetLongPathNameW(path.c_str(), longPath, MAX_PATH);
    if (length > 0 && length < MAX_PATH) path = longPath;
    entry.path = ConvertToUtf8(path);
    entry.seconds = -1;
    if (auto decoder = audio::OpenAudioDecoder(name.c_str())) {
        if (decoder->Rate() > 0)
            entry.seconds = static_cast<int>((decoder->TotalFrames() + decoder->Rate() / 2) / decoder->Rate());
    }
    try {
        TrackInfo track(name.c_str());
        entry.artist = TagText(track.artist);
        entry.title = TagText(track.title);
    } catch (...) {
        // No tag record: the path alone.
    }
    return entry;
}

void __cdecl SaveWorker(void* argument)
{
    std::unique_ptr<SaveArgs> args(static_cast<SaveArgs*>(argument));
    bool saved = false;
    try {
        std::vector<PlaylistEntry> entries;
        entries.reserve(args->names.size());
        for (const std::string& name : args->names) entries.push_back(EntryOf(name));
        saved = WriteFileWhole(args->target, FormatM3u8Playlist(entries));
    } catch (...) {
        // Out of memory: told as a failed save.
    }
    if (!saved) {
        const std::wstring text = L"Can't save the playlist as " + args->target;
        MessageBoxW(args->window, text.c_str(), L"Orvandel's Lumetra", MB_ICONERROR);
    }
}

}  // namespace

void SavePlaylistAs(HWND window)
{
    std::unique_ptr<SaveArgs> args(new SaveArgs{window, PickSavePath(window), {}});
    if (args->target.empty()) return;
    {
        StateLock lock(stateLock);
        const int count = scanner ? scanner->GetNoOfFiles() : 0;
        args->names.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            if (const char* name = scanner->GetFileName(i)) args->names.emplace_back(name);
        }
    }
    if (_beginthread(SaveWorker, 0, args.get()) == static_cast<uintptr_t>(-1)) return;
    args.release();  // the worker's now
}
