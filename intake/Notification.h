// The task dialogs that tell the user what could not be done.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Shows a task dialog with one OK button, owned by parent; returns when it is closed. Without
// details no toggle is shown; without labels the toggle reads "See more details" / "Hide details".
void ShowNotification(HWND parent, PCWSTR icon, const wchar_t* mainInstruction, const wchar_t* content,
                      const wchar_t* details = nullptr, const wchar_t* collapsedLabel = nullptr,
                      const wchar_t* expandedLabel = nullptr);

// The dialog for an intake that found nothing to play ("Can't play given file(s)" or
// "Can't add file(s) to list"), with the list of supported files as its details.
void ShowNoMusicFoundNotification(HWND parent, const wchar_t* mainInstruction);

// The dialogs of a failed start-up: a missing skin file (an 8-bit message from the failing
// component) or memory that ran out (the exception's description).
void ShowLoadFailedNotification(HWND parent, const char* technicalMessage);
void ShowRuntimeErrorNotification(HWND parent, const char* description);
