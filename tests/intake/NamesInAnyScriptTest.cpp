// Files named in any script, through every intake: listed and played by their own names (never a
// short "~1" one) and shown by them on the panel.
#include "intake/IntakeFixture.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "components/WideText.h"
#include "playback/Transport.h"

namespace {

// Cyrillic, Japanese, a character beyond the 16-bit range (a surrogate pair) and Latin-1.
const wchar_t* const kNames[] = {L"\u041F\u0435\u0441\u043D\u044F.mp3", L"\u66F2.ogg", L"\U0001F3B5.flac",
                                 L"Caf\u00E9.mp3"};
const char* const kMedia[] = {"tone-440.mp3", "tone-660.ogg", "tone-770.flac", "tone-440.mp3"};

// A drop handle of UTF-16 paths, as Explorer makes one.
HDROP MakeWideDrop(const std::vector<std::wstring>& paths)
{
    size_t units = 1;
    for (const std::wstring& path : paths) units += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths) {
        wmemcpy(out, path.c_str(), path.size());
        out += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class NamesInAnyScript : public IntakeTest {
protected:
    void SetUp() override
    {
        IntakeTest::SetUp();
        for (size_t i = 0; i < std::size(kNames); ++i) {
            paths.push_back(ConvertToWide(CP_UTF8, 0, folder) + L"\\" + kNames[i]);
            ASSERT_TRUE(
                CopyFileW(ConvertToWide(CP_UTF8, 0, MediaPath(kMedia[i])).c_str(), paths.back().c_str(), FALSE));
        }
    }

    // The files as one command text, each quoted, as a second launch or the shell gives them.
    std::string QuotedPaths() const
    {
        std::string text;
        for (const std::wstring& path : paths) text += "\"" + ConvertToUtf8(path) + "\" ";
        return text;
    }

    std::vector<std::wstring> paths;
};

// Each intake replaces the list; every file then plays in turn, and the panel's title, with no tag
// to tell, is the file's own name.
TEST_F(NamesInAnyScript, EveryIntakeListsPlaysAndShowsThemByTheirOwnNames)
{
    const std::string lists = MakeTempFolder("script-lists");
    const struct {
        const char* intake;
        std::function<void()> start;
    } cases[] = {
        {"command line", [&] { Intake(QuotedPaths()); }},
        {"forwarded text",
         [&] {
             const std::string text = QuotedPaths();
             COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
             SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
         }},
        {"drop", [&] { SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeWideDrop(paths)), 0); }},
        {"playlist",
         [&] {
             std::string text = "#EXTM3U\r\n";
             for (const std::wstring& path : paths) text += ConvertToUtf8(path) + "\r\n";
             ASSERT_TRUE(WriteFileBytes(lists + "\\list.m3u8", text.data(), text.size()));
             Intake("\"" + lists + "\\list.m3u8\"");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.intake);
        ASSERT_TRUE(WaitForWorkerEnd());
        unsigned generation;
        {
            StateLock lock(stateLock);
            generation = listGeneration;  // every intake lists the same files: it must make a new list
        }
        c.start();
        ASSERT_TRUE(WaitFor(
            [&] {
                StateLock lock(stateLock);
                return listGeneration != generation && scanner->GetNoOfFiles() == 4 && !intakeActive;
            },
            30000));
        std::vector<std::wstring> shown;
        for (int i = 0; i < 4; ++i) {
            PlayTrackAt(window, i);
            ASSERT_TRUE(WaitForStarts());
            StateLock lock(stateLock);
            ASSERT_NE(engine->ActiveSound, nullptr) << scanner->GetFileName(i);
            EXPECT_EQ(ConvertToWide(CP_UTF8, 0, std::string(scanner->GetFileName(i))), paths[i]);
            shown.push_back(titleText ? titleText : L"");
        }
        EXPECT_EQ(shown, std::vector<std::wstring>(std::begin(kNames), std::end(kNames)));
        EXPECT_TRUE(TakeDialog(200).empty());
    }
    RemoveTree(lists);
}

}  // namespace
