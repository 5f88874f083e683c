// A player window in this process, plus helpers to feed its intake and read the dialogs it shows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "intake/CommandIntake.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

class IntakeTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        folder = MakeTempFolder("intake");
    }
    void TearDown() override
    {
        WaitFor([] { return !scanning; }, 30000);
        // An intake lets the next one in before its dialog: close dialogs until it has.
        WaitFor(
            [] {
                CloseAllDialogs();
                return !intakeActive;
            },
            30000);
        DestroyPlayerWindow(window);
        RemoveTree(folder);
    }

    // Copies generated media into the test's folder; returns the copy's path.
    std::string AddMedia(const char* name)
    {
        std::string target = folder + "\\" + name;
        CopyFileA(MediaPath(name).c_str(), target.c_str(), FALSE);
        return target;
    }

    // Starts an intake once the one before it (if any) has ended.
    void Intake(const std::string& text)
    {
        ASSERT_TRUE(WaitForWorkerEnd());
        ASSERT_TRUE(StartCommandIntake(window, text.c_str(), text.size()));
    }

    // Waits for the intake's dialog; returns its texts (empty when none came) and closes it.
    std::vector<std::wstring> TakeDialog(int timeoutMs = 10000)
    {
        HWND dialog = WaitForDialog(ExecutableFileName().c_str(), timeoutMs);
        if (!dialog) return {};
        std::vector<std::wstring> texts = ReadTaskDialog(dialog);
        CloseDialog(dialog);
        return texts;
    }

    // Waits until an intake has come and gone: it scanned and finished.
    bool WaitForIntakeEnd(int timeoutMs = 10000)
    {
        return WaitFor([] { return !scanning; }, timeoutMs);
    }

    // Waits until the intake's scan and start are done; another may then start. Its dialog, if any,
    // may still be on its way.
    bool WaitForWorkerEnd(int timeoutMs = 30000)
    {
        return WaitFor([] { return !intakeActive; }, timeoutMs);
    }

    HWND window = nullptr;
    std::string folder;
};
