// Entry point of every test executable: GDI+ is up for the whole run and never shut down, as in
// the player (skin objects of a test may outlive RUN_ALL_TESTS). Each run keeps its session in a
// fresh folder of its own (the player's, and that of every Lumetra.exe it starts), so no test
// restores what another one left.
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    const std::string appData = MakeTempFolder("appdata");
    SetEnvironmentVariableA("APPDATA", appData.c_str());
    const int result = RUN_ALL_TESTS();
    RemoveTree(appData);
    return result;
}
