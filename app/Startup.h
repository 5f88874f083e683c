// Process start: the single-instance hand-off, the main window, the message loop.
#pragma once

#include <windows.h>

#include <string>

extern const char kWindowClassName[];  // also the name of the single-instance mutex
extern const char kWindowTitle[];

// The command text behind the program name of a process command line: the name ends at the
// first character of code 32 or below outside double quotes, a double-byte character of the code
// page travels whole, and the blanks behind the name are skipped. Quotes and trailing blanks stay.
const char* CommandTextOf(const char* commandLine, UINT codePage = CP_ACP);
// The process command line as 8-bit text in codePage, each quoted name by the path that reaches
// its file: under a legacy code page, its short path where the code page cannot say it (the shell
// quotes the file it opens), where GetCommandLineA would have made '?' of each such character.
// Text outside quotes, and a name that reaches no file, are converted as GetCommandLineA does.
// Under UTF-8 the whole line is said exactly. Throws std::bad_alloc.
std::string ReachableCommandLine(const wchar_t* commandLine, UINT codePage = CP_ACP);
// The show command the process was started with.
int StartupShowCommand();

// The whole life of the player; returns the process exit code.
int RunPlayer(HINSTANCE instance, const char* commandText, int showCommand);

// Pieces of RunPlayer, also used by the tests.
// True when another instance owns the window: it was raised and, for a non-empty text, handed
// the text. The caller then ends with exit code 0.
bool ForwardToRunningInstance(const char* commandText);
bool RegisterMainWindowClass(HINSTANCE instance);
// With commandText, the player's own window: see InitializeWindow.
HWND CreateMainWindow(HINSTANCE instance, const char* commandText = nullptr);
