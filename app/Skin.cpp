// Window creation and destruction: the engine, the scanner, the skin, the layout, timer 1.
#include "app/Skin.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "app/PlayerState.h"
#include "app/Session.h"
#include "app/TaskbarButtons.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "intake/CommandIntake.h"
#include "intake/Notification.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackTimer.h"
#include "playback/StartWorker.h"
#include "render/BackBuffer.h"
#include "playback/Transport.h"

wchar_t executableFolder[MAX_PATH] = L"";

namespace {

const int kSkinPathLength = 500;
// How long the skin waits for the first file given on the command line to be heard.
const unsigned long kFirstSoundWaitMs = 200;

struct SkinPath {
    wchar_t text[kSkinPathLength];
    explicit SkinPath(const wchar_t* relative) { wsprintfW(text, L"%s%s", executableFolder, relative); }
};

ImageButton* MakeButton(const wchar_t* normal, const wchar_t* hover, const wchar_t* pressed, int x, int y, int width,
                        int height)
{
    SkinPath normalPath(normal), hoverPath(hover), pressedPath(pressed);
    return new ImageButton(normalPath.text, hoverPath.text, pressedPath.text, x, y, width, height);
}

ImageButton* MakeButton(const wchar_t* image, int x, int y, int width, int height)
{
    SkinPath path(image);
    return new ImageButton(path.text, x, y, width, height);
}

ImageObject* MakeImage(const wchar_t* image, int x, int y, int width, int height)
{
    SkinPath path(image);
    return new ImageObject(path.text, x, y, width, height);
}

// The twelve skin objects, laid out from the window's outer size. They are read from their files
// without the lock and handed over together under it: a start that an intake asked for may commit
// meanwhile, and its track's art goes onto the skin here if it came first.
void BuildSkin(int w, int h)
{
    std::unique_ptr<ImageButton> play(MakeButton(L"DefaultTheme\\Play.mtx", L"DefaultTheme\\PlayHover.mtx",
                                                 L"DefaultTheme\\PlayPressed.mtx", w / 2 - 24, h - 70, 48, 36));
    std::unique_ptr<ImageButton> pause(MakeButton(L"DefaultTheme\\Pause.mtx", L"DefaultTheme\\PauseHover.mtx",
                                                  L"DefaultTheme\\PausePressed.mtx", w / 2 - 24, h - 70, 48, 36));
    std::unique_ptr<ImageButton> next(MakeButton(L"DefaultTheme\\Next.mtx", L"DefaultTheme\\NextHover.mtx",
                                                 L"DefaultTheme\\NextPressed.mtx", w / 2 + 50, h - 70, 50, 36));
    std::unique_ptr<ImageButton> prev(MakeButton(L"DefaultTheme\\Prev.mtx", L"DefaultTheme\\PrevHover.mtx",
                                                 L"DefaultTheme\\PrevPressed.mtx", w / 2 - 100, h - 70, 50, 36));
    std::unique_ptr<ImageButton> randomOn(
        MakeButton(L"DefaultTheme\\RandomPlayEnabled.mtx", L"DefaultTheme\\RandomPlayEnabled.mtx",
                   L"DefaultTheme\\RandomPlayEnabledPressed.mtx", 20, h - 60, 20, 20));
    std::unique_ptr<ImageButton> randomOff(MakeButton(L"DefaultTheme\\RandomPlayDisabled.mtx",
                                                      L"DefaultTheme\\RandomPlayDisabled.mtx",
                                                      L"DefaultTheme\\RandomPlayDisabled.mtx", 20, h - 60, 20, 20));
    std::unique_ptr<ImageButton> showPlaylist(MakeButton(L"DefaultTheme\\ShowPlaylist.mtx", w - 40, h - 60, 20, 20));
    std::unique_ptr<ImageButton> bar(MakeButton(L"DefaultTheme\\SeekBar.mtx", w / 2 - 170, h - 88, 340, 14));
    std::unique_ptr<ImageObject> progress(MakeImage(L"DefaultTheme\\SeekBarProgress.mtx", w / 2 - 167, h - 88, 0, 14));
    std::unique_ptr<ImageObject> defaultArt(MakeImage(L"DefaultTheme\\DefaultAlbumArt.mtx", 14, 8, 130, 130));
    std::unique_ptr<ImageObject> trackArt(MakeImage(L"DefaultTheme\\DefaultAlbumArt.mtx", 14, 8, 130, 130));
    std::unique_ptr<ImageObject> about(MakeImage(L"About.mtx", 0, 0, 360, 200));

    StateLock lock(stateLock);
    playButton = play.release();
    pauseButton = pause.release();
    playPauseButton = playButton;
    nextButton = next.release();
    prevButton = prev.release();
    randomOnButton = randomOn.release();
    randomOffButton = randomOff.release();
    randomButton = randomPlay ? randomOnButton : randomOffButton;
    showPlaylistButton = showPlaylist.release();
    seekBar = bar.release();
    seekProgress = progress.release();
    defaultAlbumArt = defaultArt.release();
    trackAlbumArt = trackArt.release();
    aboutImage = about.release();
    ShowTrackArt();
}

void CreateComponents()
{
    engine = new PlaybackEngine();
    scanner = new FolderScanner();
}

template <typename T>
void Free(T*& object)
{
    delete object;
    object = nullptr;
}

// Workers re-read these fields under the lock and find them null from here on. A scan still
// running on a worker keeps its scanner, and a start being prepared its engine: the process exit
// that follows reclaims them.
void ReleaseComponents()
{
    CancelStartRequests();
    StateLock lock(stateLock);
    if (scanner) {
        scanner->CleanMemory();
        if (scansInFlight == 0) delete scanner;
        scanner = nullptr;
    }
    if (startsInFlight == 0)
        Free(engine);
    else
        engine = nullptr;
}

}  // namespace

void FindExecutableFolder(const wchar_t* commandLine)
{
    executableFolder[0] = L'\0';
    if (commandLine && commandLine[0] == L'"') {
        const wchar_t* close = wcschr(commandLine + 1, L'"');
        const wchar_t* slash = nullptr;
        for (const wchar_t* p = commandLine + 1; close && p < close; ++p)
            if (*p == L'\\') slash = p;
        if (slash && slash - commandLine < MAX_PATH) {
            size_t length = slash - commandLine;  // from index 1 up to and including the backslash
            wmemcpy(executableFolder, commandLine + 1, length);
            executableFolder[length] = L'\0';
            return;
        }
    }
    // Not started by the shell with a quoted path: ask the module for its own file name.
    wchar_t module[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    wchar_t* slash = wcsrchr(module, L'\\');
    if (!slash) return;
    slash[1] = L'\0';
    wcscpy(executableFolder, module);
}

void InitializeWindow(HWND window, const char* commandText)
{
    FindExecutableFolder(GetCommandLineW());
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    int w = bounds.right - bounds.left;
    int h = bounds.bottom - bounds.top;

    try {
        CreateComponents();
    } catch (const char* message) {
        MessageBoxA(window, message, "Orvandel's Lumetra", MB_ICONERROR);
        DestroyWindow(window);
        return;
    } catch (const std::bad_alloc& error) {
        ShowRuntimeErrorNotification(window, error.what());
        DestroyWindow(window);
        return;
    }

    scanner->AddFilter("mp3");
    scanner->AddFilter("ogg");
    scanner->AddFilter("flac");
    scanner->AddFilter("opus");

    // The files need no skin: they are taken in, and the first one started, before it loads. The
    // saved volume comes first, so the first file is heard at it. The skin then waits a moment for
    // the first sound, whose opening it would otherwise slow down on a busy processor.
    if (commandText) {
        RestoreSessionSettings(window);
        if (*commandText && StartCommandIntake(window, commandText, strlen(commandText)))
            WaitForFirstSound(kFirstSoundWaitMs);
    }

    // On a failure nothing the intake began may go on playing behind the dialog.
    try {
        BuildSkin(w, h);
    } catch (const char* message) {
        ReleaseComponents();
        ShowLoadFailedNotification(window, message);
        DestroyWindow(window);
        return;
    } catch (const std::bad_alloc& error) {
        ReleaseComponents();
        ShowRuntimeErrorNotification(window, error.what());
        DestroyWindow(window);
        return;
    }

    SetTimer(window, kPlaybackTimerId, kPlaybackTimerMs, PlaybackTimerProc);
    CreateBackBuffer(window);  // windowDC: every drawing of the window goes there first
}

void TeardownWindow(HWND window)
{
    KillTimer(window, kPlaybackTimerId);
    SaveSessionAtClose(window);
    ReleaseTaskbarButton();

    // Workers re-read these fields under the lock and find them null from here on; a row worker
    // draws with the window's DC under it too.
    StateLock lock(stateLock);
    ReleaseBackBuffer();
    Free(playButton);
    Free(pauseButton);
    Free(seekBar);
    Free(seekProgress);
    Free(defaultAlbumArt);
    Free(trackAlbumArt);
    Free(randomOffButton);
    Free(randomOnButton);
    Free(aboutImage);
    Free(showPlaylistButton);
    Free(nextButton);
    Free(prevButton);
    playPauseButton = nullptr;
    randomButton = nullptr;
    albumArt = nullptr;
    ReleaseComponents();
    PostQuitMessage(0);
}
