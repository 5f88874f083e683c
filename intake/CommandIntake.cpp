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
#include "intake/IntakeGate.h"
#include "intake/Notification.h"
#include "intake/ScanSession.h"
#include "playback/StartWorker.h"
#include "playback/Transport.h"
#include "render/MainView.h"
#include "render/PlaylistView.h"

namespace {

// Replace mode: the old sound and list are gone before the first scan.
void ClearPlaylistForReplace()
{
    StateLock lock(stateLock);
    CancelStartRequests();
    if (UnloadSound()) currentIndex = 0;
    playlistVisible = false;
    playlistBuilt = false;
    idle = true;
    if (scanner) scanner->CleanMemory();
    ++listGeneration;
}

void RunCommandIntake(const CommandArgs& args, IntakeTicket& ticket)
{
    const HWND window = args.window;  // args is rewritten by the next intake once the gate is open
    int initialCount;
    {
        StateLock lock(stateLock);
        if (!scanner) return;
        initialCount = scanner->GetNoOfFiles();
    }
    if (!args.text || !*args.text) return;

    CommandParts parts = TokenizeCommandText(args.text);
    bool append = IsAppendVerb(parts);

    ScanSession session(window);
    if (append)
        playlistBuilt = false;
    else
        ClearPlaylistForReplace();
    InvalidateWindow(window);

    for (std::string& item : parts.items) {
        ScanIntoPlaylist(item.c_str());
        std::string().swap(item);  // each item is let go once scanned
    }

    session.Finish();
    StartPlaybackIfIdle(window);
    InvalidateWindow(window);

    int count;
    {
        StateLock lock(stateLock);
        // The window went while the list was filled (its skin failed to load, or it was closed):
        // no one is left to tell.
        if (!scanner) return;
        count = scanner->GetNoOfFiles();
    }
    // What follows touches nothing shared: a file opened meanwhile (a double-click in Explorer
    // while the dialog is up) starts an intake of its own.
    ticket.End();
    if (append && (count == 0 || count == initialCount))
        ShowNoMusicFoundNotification(window, L"Can't add file(s) to list");
    else if (!append && count == 0)
        ShowNoMusicFoundNotification(window, L"Can't play given file(s)");
}

// A command line holds at most 32,767 UTF-16 characters; a longer text is not one. Finds the
// text's length in bytes (up to its zero byte, within maxBytes) without trusting maxBytes, which
// a sender may claim as large as it likes.
bool FitsCommandLine(const char* text, size_t maxBytes, size_t* length)
{
    const size_t kMaxCharacters = 32767;
    const size_t kMaxBytes = 4 * kMaxCharacters;  // no ANSI code page takes more bytes for one
    *length = strnlen(text, maxBytes < kMaxBytes + 1 ? maxBytes : kMaxBytes + 1);
    if (*length <= kMaxCharacters) return true;
    if (*length > kMaxBytes) return false;
    int characters = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(*length), nullptr, 0);
    return characters > 0 && static_cast<size_t>(characters) <= kMaxCharacters;
}

}  // namespace

bool StartCommandIntake(HWND window, const char* text, size_t maxBytes)
{
    if (!text) text = "";
    size_t length = 0;
    if (!FitsCommandLine(text, maxBytes, &length)) return false;  // longer than any command line
    if (!BeginIntake()) return false;                             // an intake runs: the text is dropped

    char* copy = static_cast<char*>(calloc(length + 2, 1));
    if (!copy) {  // no memory for the text: it is dropped
        EndIntake();
        return false;
    }
    memcpy(copy, text, length);

    // The gate keeps the worker that read the previous text from running any more.
    free(commandText);
    commandText = copy;
    commandArgs.window = window;
    commandArgs.text = commandText;
    if (_beginthread(CommandIntakeWorker, 0, &commandArgs) == static_cast<uintptr_t>(-1)) {
        EndIntake();
        return false;
    }
    return true;
}

bool TakeCommandText(HWND window, const char* text, size_t maxBytes)
{
    if (scanning || intakeActive) return false;  // the text is lost while an intake runs
    if (!StartCommandIntake(window, text, maxBytes)) return false;
    ResetPlaylistView();
    InvalidateWindow(window);
    return true;
}

void __cdecl CommandIntakeWorker(void* argument)
{
    // commandArgs stays as it is while this intake holds the gate.
    IntakeTicket ticket;
    try {
        RunCommandIntake(*static_cast<const CommandArgs*>(argument), ticket);
    } catch (...) {
        // Out of memory while tokenising or scanning: the intake ends; nothing may escape a thread.
    }
}
