// The player's commands in the window's system menu and its right-click menu.
#include "app/MenuCommands.h"

#include <string>
#include <vector>

#include "app/FileDialogs.h"
#include "app/PlayerState.h"
#include "app/PlaylistSave.h"
#include "components/ShortPath.h"
#include "intake/CommandIntake.h"

namespace {

struct MenuCommand {
    UINT id;
    const wchar_t* text;
};

const MenuCommand kMenuCommands[] = {
    {kOpenFilesCommand, L"Open files\u2026\tCtrl+O"}, {kAddFilesCommand, L"Add files\u2026\tCtrl+Shift+O"},
    {kAddFolderCommand, L"Add folder\u2026"},         {kSavePlaylistCommand, L"Save playlist as\u2026\tCtrl+S"},
    {kAlwaysOnTopCommand, L"Always on top"},
};

void AppendCommands(HMENU menu)
{
    for (const MenuCommand& command : kMenuCommands) AppendMenuW(menu, MF_STRING, command.id, command.text);
}

bool IntakeRuns()
{
    return intakeActive || scanning;
}

// The chosen paths as a command text, each quoted and in the 8-bit form the intake takes (its
// short form where the code page cannot say it); a path that has neither is left out.
std::string CommandTextOf(const std::vector<std::wstring>& paths, bool append)
{
    std::string text = append ? "add_to_list" : "";
    for (const std::wstring& path : paths) {
        char reachable[MAX_PATH * 3];  // up to 3 bytes of UTF-8 for each unit
        if (!GetReachablePath(path.c_str(), reachable, sizeof reachable)) continue;
        if (!text.empty()) text += ' ';
        text += '"';
        text += reachable;
        text += '"';
    }
    return text;
}

void TakeInChosen(HWND window, PickMode mode, bool append, const wchar_t* title)
{
    if (IntakeRuns()) return;
    const std::vector<std::wstring> paths = PickPaths(window, mode, title);
    if (paths.empty()) return;
    const std::string text = CommandTextOf(paths, append);
    TakeCommandText(window, text.c_str(), text.size() + 1);
}

}  // namespace

void AddCommandsToSystemMenu(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendCommands(menu);
}

bool ShowContextMenu(HWND window, LPARAM screenPoint)
{
    POINT at = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (at.x == -1 && at.y == -1) {
        at = POINT{0, 0};  // from the keyboard: at the client area's corner
        ClientToScreen(window, &at);
    } else {
        POINT client = at;
        ScreenToClient(window, &client);
        RECT area = {};
        GetClientRect(window, &area);
        if (!PtInRect(&area, client)) return false;  // the caption's menu is the system's
        if (playlistVisible && PtInRect(&listRect, client)) return false;
    }
    HMENU menu = CreatePopupMenu();
    if (!menu) return false;
    AppendCommands(menu);
    UpdateCommandStates(window, menu);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, window, nullptr));
    DestroyMenu(menu);
    if (chosen != 0) RunMenuCommand(window, chosen);
    return true;
}

void UpdateCommandStates(HWND window, HMENU menu)
{
    const UINT intakeState = IntakeRuns() ? MF_GRAYED : MF_ENABLED;
    for (UINT id : {kOpenFilesCommand, kAddFilesCommand, kAddFolderCommand, kSavePlaylistCommand})
        EnableMenuItem(menu, id, MF_BYCOMMAND | intakeState);
    CheckMenuItem(menu, kAlwaysOnTopCommand, MF_BYCOMMAND | (IsAlwaysOnTop(window) ? MF_CHECKED : MF_UNCHECKED));
}

bool RunMenuCommand(HWND window, UINT id)
{
    switch (id) {
    case kOpenFilesCommand:
        TakeInChosen(window, PickMode::Files, false, L"Open files");
        return true;
    case kAddFilesCommand:
        TakeInChosen(window, PickMode::Files, true, L"Add files");
        return true;
    case kAddFolderCommand:
        TakeInChosen(window, PickMode::Folder, true, L"Add folder");
        return true;
    case kSavePlaylistCommand:
        if (!IntakeRuns()) SavePlaylistAs(window);
        return true;
    case kAlwaysOnTopCommand:
        SetAlwaysOnTop(window, !IsAlwaysOnTop(window));
        return true;
    }
    return false;
}

void SetAlwaysOnTop(HWND window, bool onTop)
{
    SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool IsAlwaysOnTop(HWND window)
{
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}
