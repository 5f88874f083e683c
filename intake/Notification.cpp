// The task dialogs that tell the user what could not be done.
#include "intake/Notification.h"

#include <cstring>

#include "components/WideText.h"

void ShowNotification(HWND parent, PCWSTR icon, const wchar_t* mainInstruction, const wchar_t* content,
                      const wchar_t* details, const wchar_t* collapsedLabel, const wchar_t* expandedLabel)
{
    TASKDIALOGCONFIG config;
    memset(&config, 0, sizeof config);
    config.cbSize = sizeof config;
    config.hwndParent = parent;
    config.hInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszMainIcon = icon;
    config.pszMainInstruction = mainInstruction;
    config.pszContent = content;
    if (details) {
        config.pszExpandedInformation = details;
        config.pszCollapsedControlText = collapsedLabel ? collapsedLabel : L"See more details";
        config.pszExpandedControlText = expandedLabel ? expandedLabel : L"Hide details";
    }
    // A dialog that cannot be shown is not reported: the caller carries on as after OK.
    TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
}

void ShowNoMusicFoundNotification(HWND parent, const wchar_t* mainInstruction)
{
    ShowNotification(parent, TD_INFORMATION_ICON, mainInstruction,
                     L"Given file(s) or folder(s) doesn't contain any supported music file(s)",
                     L"Supported music files are:\n> MPEG-1 Layer-3(*.mp3),\n> Ogg Vorbis(*.ogg),\n"
                     L"> Free Loseless Audio Codec(*.flac)",
                     L"Show supported files list", L"Hide supported files list");
}

void ShowLoadFailedNotification(HWND parent, const char* technicalMessage)
{
    wchar_t details[500] = {};
    ConvertToWide(CP_ACP, MB_COMPOSITE, technicalMessage, details, 500);
    ShowNotification(parent, TD_ERROR_ICON, L"Orvandel's Lumetra failed to load",
                     L"Some file(s) required to load the program are missing\nPlease reinstall the program.", details,
                     L"Show technical details", L"Hide technical details");
}

void ShowRuntimeErrorNotification(HWND parent, const char* description)
{
    wchar_t details[500] = {};
    ConvertToWide(CP_ACP, MB_COMPOSITE, description, details, 500);
    ShowNotification(parent, TD_ERROR_ICON, L"Orvandel's Lumetra failed to load",
                     L"Unexpected runtime error occcured.\nProgram will be terminated.", details,
                     L"Show technical details", L"Hide technical details");
}
