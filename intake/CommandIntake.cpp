// Turning a command text (the command line, or one forwarded by a second launch) into the playlist.
#include "intake/CommandIntake.h"

#include <process.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "intake/CommandText.h"
#include "intake/Notification.h"
#include "intake/ScanSession.h"
#include "playback/Transport.h"
#include "render/MainView.h"

namespace {

// Replace mode: the old sound and list are gone before the first scan.
void ClearPlaylistForReplace()
{
    StateLock lock(stateLock);
    if (UnloadSound()) currentIndex = 0;
    playlistVisible = false;
    playlistBuilt = false;
    idle = true;
    if (scanner) scanner->CleanMemory();
}

void RunCommandIntake(const CommandArgs& args)
{
    int initialCount;
    {
        StateLock lock(stateLock);
        if (!scanner) return;
        initialCount = scanner->GetNoOfFiles();
    }
    if (!args.text || !*args.text) return;

    CommandParts parts = TokenizeCommandText(args.text);
    bool append = IsAppendVerb(parts);

    ScanSession session(args.window, 256);
    if (append)
        playlistBuilt = false;
    else
        ClearPlaylistForReplace();
    InvalidateWindow(args.window);

    for (std::string& item : parts.items) {
        ScanIntoPlaylist(item.c_str());
        std::string().swap(item);  // each item is let go once scanned
    }

    session.Finish();
    StartPlaybackIfIdle(args.window);
    InvalidateWindow(args.window);

    int count = PlaylistCount();
    if (append && (count == 0 || count == initialCount))
        ShowNoMusicFoundNotification(args.window, L"Can't add file(s) to list");
    else if (!append && count == 0)
        ShowNoMusicFoundNotification(args.window, L"Can't play given file(s)");
}

}  // namespace

bool StartCommandIntake(HWND window, const char* text, size_t maxBytes)
{
    if (!text) text = "";
    char* copy = static_cast<char*>(calloc(maxBytes + 2, 1));
    if (!copy) return false;  // no memory for the text: it is dropped
    strncpy(copy, text, maxBytes);

    free(commandText);
    commandText = copy;
    commandArgs.window = window;
    commandArgs.text = commandText;

    // The worker gets its own copy: a later text replaces commandText while this one may still run.
    CommandArgs* own = new (std::nothrow) CommandArgs{window, strdup(commandText)};
    if (!own || !own->text) {
        if (own) delete own;
        return false;
    }
    if (_beginthread(CommandIntakeWorker, 0, own) == static_cast<uintptr_t>(-1)) {
        free(own->text);
        delete own;
        return false;
    }
    return true;
}

void __cdecl CommandIntakeWorker(void* argument)
{
    std::unique_ptr<CommandArgs> args(static_cast<CommandArgs*>(argument));
    std::unique_ptr<char, decltype(&free)> text(args->text, &free);
    try {
        RunCommandIntake(*args);
    } catch (...) {
        // Out of memory while tokenising or scanning: the intake ends; nothing may escape a thread.
    }
}
