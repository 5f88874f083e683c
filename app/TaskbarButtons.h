// The taskbar button: a thumbnail toolbar of previous, play/pause and next, and the play position
// as its progress.
#pragma once

#include <windows.h>

// The toolbar's button ids: a click arrives as WM_COMMAND with THBN_CLICKED in the high word.
const UINT kThumbPreviousButton = 1;
const UINT kThumbPlayPauseButton = 2;
const UINT kThumbNextButton = 3;

// What the taskbar button shows. Its progress moves in the seek bar's steps, so it changes no
// more often than the bar does.
struct TaskbarView {
    bool playing = false;     // the middle button offers "Pause" (else "Play")
    int progressState = 0;    // TBPF_NOPROGRESS, TBPF_NORMAL or TBPF_PAUSED
    ULONGLONG completed = 0;  // of total
    ULONGLONG total = 1;
};
// From the player's state, under the state lock: the bar's progress as the timer last drew it, or,
// while the window is minimized and its bar not drawn, as it would be.
TaskbarView DecideTaskbarView(bool minimized);

// The registered "TaskbarButtonCreated" message, which the shell sends when the button exists
// (again after Explorer restarts): the toolbar is added then. WM_CREATE registers it.
void RegisterTaskbarMessage();
bool IsTaskbarButtonCreated(UINT message);
void OnTaskbarButtonCreated(HWND window);
// WM_COMMAND: a toolbar button's click runs what the window's button does. False for other commands.
bool OnThumbButtonClicked(HWND window, WPARAM wParam);
// Shows the state and position on the taskbar button when they changed since the last call;
// cheap otherwise. Window thread.
void UpdateTaskbarButton(HWND window);
// After the window's scale changed: the toolbar's icons at the new size.
void RescaleTaskbarButtons(HWND window);
// WM_DESTROY: lets go of the taskbar and the icons.
void ReleaseTaskbarButton();
