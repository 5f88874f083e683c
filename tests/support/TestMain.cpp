// Entry point of every test executable: GDI+ is up for the whole run and never shut down, as in
// the player (skin objects of a test may outlive RUN_ALL_TESTS).
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    return RUN_ALL_TESTS();
}
