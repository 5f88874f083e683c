// Lumetra.exe as a separate process: the single-instance hand-off, a file it is started with, and
// the exit codes.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <string>

#include "support/Audio.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

std::string PlayerCommand(const std::string& arguments)
{
    std::string line = "\"" + DistFolder() + "Lumetra.exe\"";
    if (!arguments.empty()) line += " " + arguments;
    return line;
}

// This process plays the running instance: a window of the player's class and title that records
// what a second launch sends it.
struct FakeRunningInstance {
    static std::string received;
    static DWORD receivedSize;
    static int copyDataCount;
    HWND window = nullptr;

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COPYDATA) {
            auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
            receivedSize = data->cbData;
            received.assign(static_cast<const char*>(data->lpData), data->cbData);
            ++copyDataCount;
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    FakeRunningInstance()
    {
        received.clear();
        receivedSize = 0;
        copyDataCount = 0;
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "OrvandelLumetraV3";
        RegisterClassA(&windowClass);
        window = CreateWindowA("OrvandelLumetraV3", "Orvandel's Lumetra", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
    }
    ~FakeRunningInstance() { DestroyWindow(window); }
};
std::string FakeRunningInstance::received;
DWORD FakeRunningInstance::receivedSize;
int FakeRunningInstance::copyDataCount;

HWND WaitForPlayerWindow(int timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindWindowA("OrvandelLumetraV3", "Orvandel's Lumetra")) != nullptr; }, timeoutMs);
    return found;
}

}  // namespace

TEST(SingleInstance, SecondLaunchForwardsItsTextWithTheTerminatingZero)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "OrvandelLumetraV3");
    FakeRunningInstance running;
    ProcessResult result = ChildProcess(PlayerCommand("add_to_list \"C:\\a b.mp3\"  ")).Wait(30000);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    ASSERT_EQ(FakeRunningInstance::copyDataCount, 1);
    const std::string text = "add_to_list \"C:\\a b.mp3\"  ";
    EXPECT_EQ(FakeRunningInstance::receivedSize, text.size() + 1);
    EXPECT_EQ(FakeRunningInstance::received, text + std::string(1, '\0'));
    CloseHandle(mutex);
}

// Lumetra.exe runs in the UTF-8 code page its manifest asks for: the command line comes whole, in
// any script, where a legacy code page would have made '?' of it.
TEST(SingleInstance, SecondLaunchForwardsANameInAnyScriptAsUtf8)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "OrvandelLumetraV3");
    FakeRunningInstance running;
    const std::string text =
        "\"D:\\Music\\\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F \xE6\x9B\xB2 \xF0\x9F\x8E\xB5.mp3\"";
    ProcessResult result = ChildProcess(PlayerCommand(text)).Wait(30000);
    ASSERT_TRUE(result.finished);
    ASSERT_EQ(FakeRunningInstance::copyDataCount, 1);
    EXPECT_EQ(FakeRunningInstance::received, text + std::string(1, '\0'));
    CloseHandle(mutex);
}

TEST(SingleInstance, SecondLaunchWithoutTextOnlyRestoresTheWindow)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "OrvandelLumetraV3");
    FakeRunningInstance running;
    ShowWindow(running.window, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(running.window) != FALSE; }, 30000));
    ProcessResult result = ChildProcess(PlayerCommand("   ")).Wait(30000);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(running.window); }, 30000));
    EXPECT_EQ(FakeRunningInstance::copyDataCount, 0);
    CloseHandle(mutex);
}

TEST(SingleInstance, AMutexThatDeniesAccessAlsoMeansAnotherInstance)
{
    // A descriptor with an empty access list denies everyone.
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ACL emptyList;
    InitializeAcl(&emptyList, sizeof emptyList, ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyList, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    HANDLE mutex = CreateMutexA(&attributes, TRUE, "OrvandelLumetraV3");
    ASSERT_NE(mutex, nullptr);
    HANDLE probe = CreateMutexA(nullptr, TRUE, "OrvandelLumetraV3");
    DWORD probeError = GetLastError();
    if (probe) CloseHandle(probe);
    if (probeError != ERROR_ACCESS_DENIED) {
        CloseHandle(mutex);
        GTEST_SKIP() << "this Wine does not enforce the mutex's access list (error " << probeError << ")";
    }

    FakeRunningInstance running;
    ProcessResult result = ChildProcess(PlayerCommand("x.mp3")).Wait(30000);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(FakeRunningInstance::copyDataCount, 1);
    EXPECT_EQ(FakeRunningInstance::received, std::string("x.mp3") + '\0');
    CloseHandle(mutex);
}

TEST(SingleInstance, RealSecondLaunchHandsItsTextToTheFirst)
{
    ChildProcess first(PlayerCommand(""));
    ASSERT_TRUE(first.Started());
    HWND window = WaitForPlayerWindow(30000);
    ASSERT_NE(window, nullptr);

    ProcessResult second = ChildProcess(PlayerCommand("Z:\\no\\such\\folder")).Wait(30000);
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(second.exitCode, 0u);

    // The first instance scanned the forwarded text and tells that it found nothing to play.
    HWND dialog = nullptr;
    bool told = WaitFor(
        [&] {
            dialog = FindWindowA("#32770", "Lumetra.exe");
            return dialog && HasText(DialogTexts(dialog), L"Can't play given file(s)");
        },
        30000);
    ASSERT_TRUE(told);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);

    PostMessageA(window, WM_CLOSE, 0, 0);
    ProcessResult firstResult = first.Wait(30000);
    EXPECT_TRUE(firstResult.finished);
    EXPECT_EQ(firstResult.exitCode, 0u);
}

// A double-click in Explorer starts Lumetra.exe "...\Песня 曲 🎵.mp3": the file's tone is heard.
TEST(Launch, AFileNamedInAnyScriptPlaysFromTheCommandLine)
{
    const std::string folder = MakeTempFolder("launch");
    // The test runs in the UTF-8 code page, as Lumetra.exe does.
    const std::string song = folder + "\\\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F \xE6\x9B\xB2 \xF0\x9F\x8E\xB5.mp3";
    ASSERT_TRUE(CopyFileA(MediaPath("tone-440.mp3").c_str(), song.c_str(), FALSE));
    const CaptureFormat cdStereo = {44100, 2};
    const uint64_t captureStart = CaptureSize();

    ChildProcess player(PlayerCommand("\"" + song + "\""));
    ASSERT_TRUE(player.Started());
    HWND window = WaitForPlayerWindow(30000);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForCaptureSize(captureStart + cdStereo.BytesFor(600), 30000));
    const auto heard =
        ReadCapture(cdStereo, captureStart + cdStereo.BytesFor(100), captureStart + cdStereo.BytesFor(600));
    EXPECT_EQ(DominantTone(heard, 44100, {440, 660, 770}), 440);

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(player.Wait(30000).finished);
    RemoveTree(folder);
}

TEST(ExitCode, IsZeroAfterANormalClose)
{
    ChildProcess player(PlayerCommand(""));
    HWND window = WaitForPlayerWindow(30000);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    ProcessResult result = player.Wait(30000);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
}

TEST(ExitCode, IsZeroWhenClosedWhileAScanRuns)
{
    // A scan that cannot be over before the close: thousands of items, each naming the same folder
    // of a thousand files, so the player lists millions of names one folder at a time.
    std::string folder = MakeTempFolder("busy");
    for (int i = 0; i < 1000; ++i) WriteFileBytes(folder + "\\n" + std::to_string(i) + ".txt", "x", 1);
    CopyFileA(MediaPath("tone-440.mp3").c_str(), (folder + "\\zz.mp3").c_str(), FALSE);
    std::string items;
    while (items.size() < 30000) items += "\".\"";  // "." is the player's current folder

    ChildProcess player(PlayerCommand(items), folder.c_str());
    HWND window = nullptr;
    bool scanning = WaitFor(
        [&] {
            window = FindWindowA("OrvandelLumetraV3", nullptr);
            char title[64] = {};
            if (window) GetWindowTextA(window, title, sizeof title);
            return strncmp(title, "Scanning for music files", 24) == 0;
        },
        30000);
    ASSERT_TRUE(scanning);
    ULONGLONG closed = GetTickCount64();
    PostMessageA(window, WM_CLOSE, 0, 0);
    ProcessResult result = player.Wait(10000);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_LT(GetTickCount64() - closed, 2000u) << "the scan held the exit up";
    RemoveTree(folder);
}

// Closing while the overlay's rows are built: the exit releases the row cache while the row worker
// may still release rows of its own; each row goes once. Every close ends with exit code 0.
TEST(ExitCode, IsZeroWhenClosedWhileRowsAreBuilt)
{
    std::string folder = MakeTempFolder("rows");
    for (int i = 0; i < 60; ++i)
        CopyFileA(MediaPath("tone-1540-id3.mp3").c_str(), (folder + "\\" + std::to_string(i) + ".mp3").c_str(), FALSE);
    // F1 while the scan still runs answers with a message box; those are closed and F1 sent again.
    MessageBoxCloser boxes;
    for (int close = 0; close < 50; ++close) {
        SCOPED_TRACE(close);
        ChildProcess player(PlayerCommand("\"" + folder + "\""));
        HWND window = WaitForPlayerWindow(30000);
        if (!window) {
            ADD_FAILURE() << "no window";
            break;
        }
        for (int tries = 0; tries < 100; ++tries) {
            const int before = boxes.Closed();
            DWORD_PTR result = 0;
            SendMessageTimeoutA(window, WM_KEYDOWN, VK_F1, 0, SMTO_NORMAL, 10000, &result);
            if (boxes.Closed() == before) break;
        }
        PostMessageA(window, WM_CLOSE, 0, 0);
        ProcessResult result = player.Wait(30000);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0u);
        if (result.exitCode != 0) break;
    }
    RemoveTree(folder);
}
