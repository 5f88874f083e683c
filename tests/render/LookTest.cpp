// The look: which one each system gets, the DWM calls each makes, and the colour-scheme message.
#include "render/Look.h"

#include <gtest/gtest.h>

#include "support/WindowSupport.h"

#include <string>
#include <utility>
#include <vector>

namespace {

const DWORD kNoFailure = 0;               // DWM numbers its attributes from 1
const DWORD kFrameExtended = 0xFFFFFFFF;  // stands for an extension of the frame among the attributes

// (attribute, value) in the order they were set.
using Calls = std::vector<std::pair<DWORD, DWORD>>;
Calls recorded;
DWORD failingAttribute = kNoFailure;

HRESULT WINAPI RecordAttribute(HWND, DWORD attribute, LPCVOID value, DWORD size)
{
    recorded.emplace_back(attribute, size == sizeof(DWORD) ? *static_cast<const DWORD*>(value) : ~DWORD(0));
    return attribute == failingAttribute ? E_INVALIDARG : S_OK;
}

HRESULT WINAPI RecordExtension(HWND, const MARGINS*)
{
    recorded.emplace_back(kFrameExtended, 0);
    return S_OK;
}

class LookCalls : public testing::Test {
protected:
    void SetUp() override
    {
        real = dwmCalls;
        dwmCalls.setWindowAttribute = RecordAttribute;
        dwmCalls.extendFrameIntoClientArea = RecordExtension;
    }
    void TearDown() override
    {
        dwmCalls = real;
        currentLook = Look::Dark;
        recorded.clear();
        failingAttribute = kNoFailure;
    }

    DwmCalls real;
};

const SystemFacts kVista = {6, 0, 6002, true};
const SystemFacts kSeven = {6, 1, 7601, true};
const SystemFacts kEightOne = {6, 3, 9600, true};
const SystemFacts kTen1909 = {10, 0, 18363, true};
const SystemFacts kTen22H2 = {10, 0, 19045, true};
const SystemFacts kEleven21H2 = {10, 0, 22000, true};
const SystemFacts kEleven22H2 = {10, 0, 22621, true};

std::wstring RegistryText(const wchar_t* name)
{
    wchar_t text[64] = L"";
    DWORD size = sizeof(text) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", name, RRF_RT_REG_SZ, nullptr,
                 text, &size);
    return text;
}

bool colorSchemeChanged = false;

LRESULT CALLBACK NoteSettingChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTINGCHANGE) colorSchemeChanged = IsColorSchemeChange(lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST(LookChoice, FollowsTheVersionAndComposition)
{
    struct Row {
        const char* system;
        SystemFacts facts;
        Look expected;
    };
    const Row rows[] = {
        {"Vista", kVista, Look::Glass},
        {"Vista without composition", {6, 0, 6002, false}, Look::Dark},
        {"7", kSeven, Look::Glass},
        {"7 without composition", {6, 1, 7601, false}, Look::Dark},
        {"8", {6, 2, 9200, true}, Look::Dark},
        {"8.1", kEightOne, Look::Dark},
        {"10 1909", kTen1909, Look::Dark},
        {"10 22H2", kTen22H2, Look::Dark},
        {"11 21H2", kEleven21H2, Look::Dark},
        {"11 22H2", kEleven22H2, Look::Backdrop},
        {"11 22H2 without composition", {10, 0, 22621, false}, Look::Dark},
        {"Wine", AskSystem(), Look::Dark},
    };
    for (const Row& row : rows) EXPECT_EQ(ChooseLook(row.facts), row.expected) << row.system;
}

// Checked against the version the system records in its registry, which AskSystem never reads.
TEST(LookChoice, AskSystemReadsTheVersionTheSystemRecords)
{
    SystemFacts system = AskSystem();
    EXPECT_GE(system.major, 6u);
    EXPECT_EQ(std::to_wstring(system.build), RegistryText(L"CurrentBuildNumber"));
}

TEST_F(LookCalls, EachLookSetsItsAttributesInOrder)
{
    struct Row {
        const char* system;
        SystemFacts facts;
        DWORD failing;
        Look expected;
        Calls calls;
    };
    const Row rows[] = {
        {"11 22H2", kEleven22H2, kNoFailure, Look::Backdrop, {{20, TRUE}, {38, 3}}},
        {"11 22H2, backdrop refused", kEleven22H2, 38, Look::Dark, {{20, TRUE}, {38, 3}, {20, TRUE}}},
        {"11 22H2, dark mode refused", kEleven22H2, 20, Look::Dark, {{20, TRUE}, {20, TRUE}}},
        {"11 21H2", kEleven21H2, kNoFailure, Look::Dark, {{20, TRUE}}},
        {"10 22H2", kTen22H2, kNoFailure, Look::Dark, {{20, TRUE}}},
        {"10 1909", kTen1909, kNoFailure, Look::Dark, {{19, TRUE}}},
        {"8.1", kEightOne, kNoFailure, Look::Dark, {}},
        {"7", kSeven, kNoFailure, Look::Glass, {}},
        {"7 without composition", {6, 1, 7601, false}, kNoFailure, Look::Dark, {}},
    };
    for (const Row& row : rows) {
        recorded.clear();
        failingAttribute = row.failing;
        currentLook = row.expected == Look::Glass ? Look::Dark : Look::Glass;
        EXPECT_EQ(ApplyLook(nullptr, row.facts), row.expected) << row.system;
        EXPECT_EQ(currentLook, row.expected) << row.system;
        EXPECT_EQ(recorded, row.calls) << row.system;
    }
}

// The main window's class is registered in ANSI like this one, and the system broadcasts in UTF-16.
TEST(LookMessages, OnlyImmersiveColorSetIsAColorSchemeChange)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = NoteSettingChange;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LookTestWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    struct Row {
        const wchar_t* setting;
        bool expected;
    };
    const Row rows[] = {{L"ImmersiveColorSet", true},
                        {L"immersivecolorset", true},
                        {L"ImmersiveColorSetX", false},
                        {L"Policy", false},
                        {nullptr, false}};
    for (const Row& row : rows) {
        colorSchemeChanged = !row.expected;
        SendMessageW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(row.setting));
        EXPECT_EQ(colorSchemeChanged, row.expected) << (row.setting ? row.setting : L"(null)");
    }
    DestroyWindow(window);
}

// The player's window asks before it is first shown, and again when composition or the theme
// changes; it extends the frame each time.
TEST_F(LookCalls, ThePlayerDecidesBeforeItShowsAndAgainOnEachChange)
{
    const SystemFacts system = AskSystem();
    Calls dark;
    if (system.major >= 10) dark.emplace_back(system.build >= 18985 ? 20 : 19, TRUE);
    HWND window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_GE(recorded.size(), dark.size());
    EXPECT_EQ(Calls(recorded.begin(), recorded.begin() + dark.size()), dark) << "at creation";
    Calls changed = dark;
    changed.emplace_back(kFrameExtended, 0);
    for (UINT message : {WM_DWMCOMPOSITIONCHANGED, WM_THEMECHANGED}) {
        recorded.clear();
        SendMessageA(window, message, 0, 0);
        EXPECT_EQ(recorded, changed) << message;
        EXPECT_EQ(currentLook, Look::Dark);
    }
    DestroyPlayerWindow(window);
}
