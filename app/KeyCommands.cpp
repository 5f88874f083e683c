// The keys of the main window beyond F1 and the overlay's scrolling: one table from a key to its action.
#include "app/KeyCommands.h"

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

struct KeyCommand {
    WPARAM key;
    bool control;
    bool listHiddenOnly;  // with the overlay shown, the key scrolls it instead
    void (*action)(HWND window);
};

// The same actions as the buttons'.
const KeyCommand kKeyCommands[] = {
    {VK_SPACE, false, false, TogglePlayPause},
    {VK_LEFT, false, false, SeekBack},
    {VK_RIGHT, false, false, SeekForward},
    {VK_LEFT, true, false, PlayPreviousTrack},
    {VK_RIGHT, true, false, PlayNextTrack},
    {'R', false, false, ToggleRandom},
    {VK_UP, false, true, VolumeUp},
    {VK_DOWN, false, true, VolumeDown},
    {'M', false, false, ToggleMute},
};

}  // namespace

bool RunKeyCommand(HWND window, WPARAM key)
{
    const bool control = GetKeyState(VK_CONTROL) < 0;
    for (const KeyCommand& command : kKeyCommands) {
        if (command.key != key || command.control != control || (command.listHiddenOnly && playlistVisible)) continue;
        command.action(window);
        PresentBackBuffer();  // what the action drew, such as a button's new look
        return true;
    }
    return false;
}
