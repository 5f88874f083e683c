// The keys of the main window beyond F1 and the overlay's scrolling: one table from a key to its action.
#include "app/KeyCommands.h"

#include "app/MenuCommands.h"
#include "app/PlayerState.h"
#include "playback/Transport.h"
#include "playback/Volume.h"
#include "render/BackBuffer.h"

namespace {

const int kSeekStepMs = 5000;

void SeekBack(HWND)
{
    SeekBy(-kSeekStepMs);
}

void SeekForward(HWND)
{
    SeekBy(kSeekStepMs);
}

void ToggleRandom(HWND)
{
    StateLock lock(stateLock);
    auto graphics = WindowGraphics();
    ToggleRandomPlay(graphics.get());
}

void VolumeUp(HWND window)
{
    ChangeVolumeBy(window, kVolumeStep);
}

void VolumeDown(HWND window)
{
    ChangeVolumeBy(window, -kVolumeStep);
}

void OpenFiles(HWND window)
{
    RunMenuCommand(window, kOpenFilesCommand);
}

void AddFiles(HWND window)
{
    RunMenuCommand(window, kAddFilesCommand);
}

void SavePlaylist(HWND window)
{
    RunMenuCommand(window, kSavePlaylistCommand);
}

struct KeyCommand {
    WPARAM key;
    bool control;
    bool shift;
    bool listHiddenOnly;  // with the overlay shown, the key scrolls it instead
    void (*action)(HWND window);
};

// The same actions as the buttons' and the menu's.
const KeyCommand kKeyCommands[] = {
    {VK_SPACE, false, false, false, TogglePlayPause},
    {VK_LEFT, false, false, false, SeekBack},
    {VK_RIGHT, false, false, false, SeekForward},
    {VK_LEFT, true, false, false, PlayPreviousTrack},
    {VK_RIGHT, true, false, false, PlayNextTrack},
    {'R', false, false, false, ToggleRandom},
    {VK_UP, false, false, true, VolumeUp},
    {VK_DOWN, false, false, true, VolumeDown},
    {'M', false, false, false, ToggleMute},
    {'O', true, false, false, OpenFiles},
    {'O', true, true, false, AddFiles},
    {'S', true, false, false, SavePlaylist},
};

}  // namespace

bool RunKeyCommand(HWND window, WPARAM key)
{
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    for (const KeyCommand& command : kKeyCommands) {
        if (command.key != key || command.control != control || command.shift != shift ||
            (command.listHiddenOnly && playlistVisible))
            continue;
        command.action(window);
        PresentBackBuffer();  // what the action drew, such as a button's new look
        return true;
    }
    return false;
}
