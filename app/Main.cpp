// Entry point of Lumetra.exe.
#include <windows.h>

#include <new>
#include <string>

#include "app/Startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    std::string commandLine;
    try {
        commandLine = ReachableCommandLine(GetCommandLineW());
    } catch (const std::bad_alloc&) {
        // No memory for it: the system's own 8-bit line serves, as it always did.
    }
    const char* line = commandLine.empty() ? GetCommandLineA() : commandLine.c_str();
    return RunPlayer(instance, CommandTextOf(line), StartupShowCommand());
}
