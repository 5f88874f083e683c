// The task dialogs: their texts, labels, icon-less title and defaults.
#include <gtest/gtest.h>

#include <thread>

#include "intake/Notification.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

class Notifications : public testing::Test {
protected:
    void SetUp() override
    {
        owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override { DestroyWindow(owner); }

    // Shows a dialog on another thread, as the intake workers do, and reads it from this one.
    template <typename Show>
    std::vector<std::wstring> ShowAndRead(Show show, bool expand)
    {
        std::thread shower(show);
        std::vector<std::wstring> texts;
        HWND dialog = WaitForDialog(ExecutableFileName().c_str(), 30000);
        texts = ReadTaskDialog(dialog);
        EXPECT_FALSE(texts.empty()) << "no complete task dialog appeared";
        if (expand && !texts.empty()) {
            HWND toggle = nullptr;
            for (const std::wstring& label : texts)
                if (label.rfind(L"Show", 0) == 0 || label == L"See more details")
                    toggle = WaitForControl(dialog, label.c_str(), 30000);
            EXPECT_NE(toggle, nullptr) << "the dialog has no details toggle";
            if (toggle) {
                SendMessageW(toggle, BM_CLICK, 0, 0);
                // The toggle's label turns into its expanded form once the details show.
                WaitFor(
                    [&] {
                        for (const std::wstring& label : DialogTexts(dialog))
                            if (label.rfind(L"Hide", 0) == 0) return true;
                        return false;
                    },
                    30000);
                texts = DialogTexts(dialog);
            }
        }
        if (dialog) CloseDialog(dialog);
        shower.join();
        return texts;
    }

    HWND owner = nullptr;
};

}  // namespace

TEST_F(Notifications, RuntimeErrorKeepsItsMisspelledText)
{
    auto texts = ShowAndRead([&] { ShowRuntimeErrorNotification(owner, "std::bad_alloc"); }, true);
    EXPECT_TRUE(HasText(texts, L"Orvandel's Lumetra failed to load"));
    EXPECT_TRUE(HasText(texts, L"Unexpected runtime error occcured.\nProgram will be terminated."));
    EXPECT_TRUE(HasText(texts, L"std::bad_alloc"));
    EXPECT_TRUE(HasText(texts, L"Hide technical details"));
}

TEST_F(Notifications, DetailsWithoutLabelsGetTheDefaultLabels)
{
    auto texts =
        ShowAndRead([&] { ShowNotification(owner, TD_INFORMATION_ICON, L"main", L"content", L"details"); }, false);
    EXPECT_TRUE(HasText(texts, L"See more details"));
    auto expanded =
        ShowAndRead([&] { ShowNotification(owner, TD_INFORMATION_ICON, L"main", L"content", L"details"); }, true);
    EXPECT_TRUE(HasText(expanded, L"Hide details"));
    EXPECT_TRUE(HasText(expanded, L"details"));
}

TEST_F(Notifications, WithoutDetailsThereIsNoToggle)
{
    auto texts = ShowAndRead([&] { ShowNotification(owner, TD_ERROR_ICON, L"main", L"content"); }, false);
    EXPECT_TRUE(HasText(texts, L"main"));
    EXPECT_FALSE(HasText(texts, L"See more details"));
}
