// Turning files and folders dropped on the window into the playlist.
#include "intake/DropIntake.h"

#include <process.h>
#include <shellapi.h>
#include <cstring>
#include <memory>
#include <new>

#include "components/FolderScanner.h"
#include "components/ShortPath.h"
#include "intake/IntakeGate.h"
#include "intake/Notification.h"
#include "intake/ScanSession.h"
#include "playback/StartWorker.h"
#include "render/MainView.h"

namespace {

void RunDropIntake(DropArgs& args, IntakeTicket& ticket)
{
    {
        StateLock lock(stateLock);
        if (!scanner) return;
    }
    ScanSession session(args.window);
    if (!args.append) {
        StateLock lock(stateLock);
        // Cleared again with the list itself, so a row build that finishes in between cannot
        // mark the old list's rows as the new list's.
        playlistBuilt = false;
        if (scanner) scanner->CleanMemory();
        ++listGeneration;
    }
    char path[1024];
    wchar_t widePath[1024];
    for (UINT i = 0;; ++i) {
        UINT length = DragQueryFileA(args.drop, i, nullptr, 0);
        if (length == 0) break;
        // A path cut to the buffer could name another file or a parent folder: it is skipped.
        if (length >= sizeof path) continue;
        memset(path, 0, sizeof path);
        if (DragQueryFileA(args.drop, i, path, sizeof path) == 0) break;
        // Under a legacy ANSI code page the 8-bit form turns characters outside it into '?'; such
        // a path is taken by its short form instead. Under UTF-8 both forms are the same path.
        UINT wideLength = DragQueryFileW(args.drop, i, nullptr, 0);
        if (wideLength > 0 && wideLength < 1024 && DragQueryFileW(args.drop, i, widePath, 1024) == wideLength) {
            char reachable[1024];
            if (GetReachablePath(widePath, reachable, sizeof reachable)) strcpy(path, reachable);
        }
        ScanIntoPlaylist(path);
    }
    DragFinish(args.drop);  // every path is read
    args.drop = nullptr;
    session.Finish();
    const HWND window = args.window;  // args is rewritten by the next drop once the gate is open
    StartPlaybackIfIdle(window);
    InvalidateWindow(window);
    const bool empty = PlaylistCount() == 0;
    ticket.End();  // the dialog touches nothing shared: a file opened meanwhile is let in
    if (empty) ShowNoMusicFoundNotification(window, L"Can't play given file(s)");
}

}  // namespace

void StartDropIntake(HWND window, HDROP drop)
{
    // The gate keeps the worker of the previous drop from reading dropArgs any more.
    dropArgs.window = window;
    dropArgs.drop = drop;
    dropArgs.append = false;
    if (_beginthread(DropIntakeWorker, 0, &dropArgs) == static_cast<uintptr_t>(-1)) {
        DragFinish(drop);
        EndIntake();
    }
}

void __cdecl DropIntakeWorker(void* argument)
{
    DropArgs& args = *static_cast<DropArgs*>(argument);
    IntakeTicket ticket;
    try {
        RunDropIntake(args, ticket);
    } catch (...) {
        // Out of memory while scanning: the intake ends; nothing may escape a thread.
    }
    if (args.drop) DragFinish(args.drop);  // before the ticket lets the next drop rewrite it
    args.drop = nullptr;
}
