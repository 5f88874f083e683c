// The main window as the program creates it, and how its window procedure handles each message.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <thread>

#include "app/PlayerState.h"
#include "app/Startup.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

class MainWindow : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(scanner, nullptr);
    }
    void TearDown() override
    {
        CloseAllDialogs();
        DestroyPlayerWindow(window);
    }

    void SendForwardedText(const void* bytes, DWORD count)
    {
        COPYDATASTRUCT data = {0, count, const_cast<void*>(bytes)};
        SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }

    // Waits for the "nothing to play" dialog an intake shows for an empty outcome, and closes it.
    std::vector<std::wstring> CloseIntakeDialog()
    {
        HWND dialog = WaitForDialog(ExecutableFileName().c_str(), 30000);
        if (!dialog) return {};
        std::vector<std::wstring> texts = ReadTaskDialog(dialog);
        CloseDialog(dialog);
        WaitFor([] { return !scanning; }, 30000);
        return texts;
    }

    HWND window = nullptr;
};

HDROP MakeDrop(const char* path)
{
    size_t pathBytes = strlen(path) + 2;  // the list ends with an empty string
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + pathBytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    strcpy(reinterpret_cast<char*>(drop + 1), path);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

}  // namespace

TEST_F(MainWindow, HasTheFixedClassTitleStyleAndSize)
{
    char className[64] = {}, title[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(className, "OrvandelLumetraV3");
    EXPECT_STREQ(title, "Orvandel's Lumetra");

    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(GetClassLongA(window, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND)), GetStockObject(BLACK_BRUSH));

    RECT bounds;
    GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 360);
    EXPECT_EQ(bounds.bottom - bounds.top, 290);
    EXPECT_EQ(FindWindowA("OrvandelLumetraV3", "Orvandel's Lumetra"), window);
}

TEST_F(MainWindow, ForwardedTextIsCopiedBoundedAndStartsAnIntake)
{
    playlistVisible = true;
    playlistBuilt = true;
    scrollPos = 96;
    scrollTarget = 48;
    SendForwardedText("Z:\\no such folderXYZ", 17);  // no terminator within cbData
    EXPECT_STREQ(commandText, "Z:\\no such folder");
    EXPECT_EQ(commandArgs.text, commandText);
    EXPECT_EQ(commandArgs.window, window);
    EXPECT_FALSE(playlistVisible);
    EXPECT_FALSE(playlistBuilt);
    EXPECT_EQ(scrollPos, 0);
    EXPECT_EQ(scrollTarget, 0);
    EXPECT_TRUE(HasText(CloseIntakeDialog(), L"Can't play given file(s)"));

    const char embedded[] = "Z:\\nothing\0tail";
    SendForwardedText(embedded, sizeof embedded);  // the copy stops at the zero byte
    EXPECT_STREQ(commandText, "Z:\\nothing");
    CloseIntakeDialog();
}

TEST_F(MainWindow, EmptyForwardedTextStartsNothingButHidesTheOverlay)
{
    playlistVisible = true;
    SendForwardedText("", 0);
    ASSERT_NE(commandText, nullptr);
    EXPECT_STREQ(commandText, "");
    EXPECT_FALSE(playlistVisible);
    EXPECT_EQ(WaitForDialog(ExecutableFileName().c_str(), 30000), nullptr);
}

TEST_F(MainWindow, ForwardedTextIsDroppedWhileScanning)
{
    SendForwardedText("first", 6);
    char* before = commandText;
    CloseIntakeDialog();

    scanning = true;
    playlistVisible = true;
    scrollTarget = 48;
    SendForwardedText("second", 7);
    EXPECT_EQ(commandText, before);
    EXPECT_STREQ(commandText, "first");
    EXPECT_TRUE(playlistVisible);
    EXPECT_EQ(scrollTarget, 48);
    scanning = false;
}

TEST_F(MainWindow, ArrowKeysScrollOnlyAVisibleListWithRoomToMove)
{
    rowCount = 10;
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);  // overlay hidden
    SendMessageA(window, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(scrollTarget, 0);
    EXPECT_FALSE(hoverStale);

    playlistVisible = true;
    SendMessageA(window, WM_KEYDOWN, VK_UP, 0);  // already at the top
    EXPECT_EQ(scrollTarget, 0);
    EXPECT_FALSE(hoverStale);

    for (int expected = 48; expected <= 288; expected += 48) {
        SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(scrollTarget, expected);
    }
    EXPECT_TRUE(hoverStale);
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);  // the last row is in view
    EXPECT_EQ(scrollTarget, 288);
    SendMessageA(window, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(scrollTarget, 240);

    rowCount = 4;
    scrollTarget = 0;
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);  // four rows fill the view
    EXPECT_EQ(scrollTarget, 0);
    playlistVisible = false;
    rowCount = 0;
}

TEST_F(MainWindow, WheelScrollsByRowsAndStaysInsideTheList)
{
    rowCount = 10;
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);  // overlay hidden
    EXPECT_EQ(scrollTarget, 0);
    EXPECT_FALSE(hoverStale);

    playlistVisible = true;
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(scrollTarget, 0);  // clamped at the start
    EXPECT_TRUE(hoverStale);
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(scrollTarget, 48);
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 30), 0);
    EXPECT_EQ(scrollTarget, 36);
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -1200), 0);
    EXPECT_EQ(scrollTarget, 288);  // clamped at the end

    rowCount = 3;
    scrollTarget = 0;
    hoverStale = false;
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(scrollTarget, 0);  // too short to scroll, yet the hover is refreshed
    EXPECT_TRUE(hoverStale);
    playlistVisible = false;
    rowCount = 0;
}

TEST_F(MainWindow, F1TogglesTheOverlayOnlyWithAListAndNoScan)
{
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);  // empty list
    EXPECT_FALSE(playlistVisible);

    scanner->Scan(MediaPath("tone-440.mp3").c_str());
    ASSERT_EQ(scanner->GetNoOfFiles(), 1);
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    EXPECT_TRUE(playlistVisible);
    playlistBuilt = true;  // a second opening must not start another build
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);
    EXPECT_FALSE(playlistVisible);
}

TEST_F(MainWindow, F1WhileScanningSaysWaitAndKeepsTheOverlay)
{
    scanner->Scan(MediaPath("tone-440.mp3").c_str());
    scanning = true;
    std::vector<std::wstring> texts;
    std::wstring caption;
    std::thread watcher([&] {
        HWND box = WaitForDialogNoPump(L"Lumetra", 30000);
        if (!box) return;
        wchar_t title[64] = {};
        GetWindowTextW(box, title, 64);
        caption = title;
        texts = DialogTexts(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(window, WM_KEYDOWN, VK_F1, 0);  // returns when the box is closed
    watcher.join();
    scanning = false;
    EXPECT_EQ(caption, L"Lumetra");
    EXPECT_TRUE(HasText(texts, L"Wait while scanning is in progress"));
    EXPECT_FALSE(playlistVisible);
}

TEST_F(MainWindow, DropStopsTheSoundAndStartsAReplacingScan)
{
    scanner->Scan(MediaPath("tone-440.mp3").c_str());
    {
        StateLock lock(stateLock);
        ASSERT_TRUE(engine->StartPlaying(scanner->GetFileName(0)));
    }
    currentIndex = 5;
    scrollPos = 48;
    scrollTarget = 96;
    playlistVisible = true;
    playlistBuilt = true;
    idle = false;

    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop("Z:\\no such folder")), 0);
    EXPECT_EQ(engine->ActiveSound, nullptr);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_EQ(scrollPos, 0);
    EXPECT_EQ(scrollTarget, 0);
    EXPECT_FALSE(playlistVisible);
    EXPECT_FALSE(playlistBuilt);
    EXPECT_TRUE(idle);

    std::vector<std::wstring> texts = CloseIntakeDialog();
    EXPECT_TRUE(HasText(texts, L"Can't play given file(s)"));
    EXPECT_EQ(scanner->GetNoOfFiles(), 0);
}

TEST_F(MainWindow, DropWithoutASoundKeepsTheIndex)
{
    currentIndex = 3;
    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop("Z:\\no such folder")), 0);
    CloseIntakeDialog();
    EXPECT_EQ(currentIndex, 3);
}

TEST_F(MainWindow, ClosingFreesEverythingAndPostsQuitWithZero)
{
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(engine, nullptr);
    EXPECT_EQ(scanner, nullptr);
    EXPECT_EQ(playButton, nullptr);
    EXPECT_EQ(windowDC, nullptr);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}
