// Entry point of Lumetra.exe.
#include <windows.h>

#include "app/Startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunPlayer(instance, CommandTextOf(GetCommandLineA()), StartupShowCommand());
}
