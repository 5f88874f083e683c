// Window creation and destruction: the engine, the scanner, the skin, the layout, timer 1.
#include "app/Skin.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "app/DisplayScale.h"
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
#include "render/MainView.h"
#include "render/PlaylistRows.h"
#include "render/PlaylistView.h"
#include "render/SeekFill.h"
#include "playback/Transport.h"

wchar_t executableFolder[MAX_PATH] = L"";

namespace {

const int kSkinPathLength = 500;
// How long the skin waits for the first file given on the command line to be heard.
const unsigned long kFirstSoundWaitMs = 200;

// A skin file beside the program. At a scale above 100 % the file of the set for that scale,
// DefaultTheme\<percent>\<name>, where there is one; otherwise the 100 % file, drawn larger.
struct SkinPath {
    wchar_t text[kSkinPathLength];
    SkinPath(const wchar_t* relative, int percent)
    {
        if (percent != 100) {
            const wchar_t* name = wcsrchr(relative, L'\\');
            wsprintfW(text, L"%sDefaultTheme\\%d\\%s", executableFolder, percent, name ? name + 1 : relative);
            if (GetFileAttributesW(text) != INVALID_FILE_ATTRIBUTES) return;
        }
        wsprintfW(text, L"%s%s", executableFolder, relative);
    }
};

// The skin objects of one scale, owned until they are handed to the window.
struct SkinObjects {
    std::unique_ptr<ImageButton> play, pause, next, prev, randomOn, randomOff, showPlaylist, seekBar;
    std::unique_ptr<ImageObject> seekProgress, defaultArt, trackArt, about;
};

// Lengths of the layout at 96 DPI, at a scale, and the skin set that goes with it.
struct Layout {
    int dpi;
    int percent;
    int operator()(int length) const { return MulDiv(length, dpi, 96); }
};

ImageButton* MakeButton(const Layout& at, const wchar_t* normal, const wchar_t* hover, const wchar_t* pressed, int x,
                        int y, int width, int height)
{
    SkinPath normalPath(normal, at.percent), hoverPath(hover, at.percent), pressedPath(pressed, at.percent);
    return new ImageButton(normalPath.text, hoverPath.text, pressedPath.text, x, y, at(width), at(height));
}

ImageButton* MakeButton(const Layout& at, const wchar_t* image, int x, int y, int width, int height)
{
    SkinPath path(image, at.percent);
    return new ImageButton(path.text, x, y, at(width), at(height));
}

ImageObject* MakeImage(const Layout& at, const wchar_t* image, int x, int y, int width, int height)
{
    SkinPath path(image, at.percent);
    return new ImageObject(path.text, x, y, at(width), at(height));
}

// The twelve skin objects, laid out from the window's outer size at dpi.
SkinObjects BuildSkin(int w, int h, int dpi)
{
    const Layout at = {dpi, SkinSetPercent(dpi)};
    SkinObjects skin;
    skin.play.reset(MakeButton(at, L"DefaultTheme\\Play.mtx", L"DefaultTheme\\PlayHover.mtx",
                               L"DefaultTheme\\PlayPressed.mtx", w / 2 - at(24), h - at(70), 48, 36));
    skin.pause.reset(MakeButton(at, L"DefaultTheme\\Pause.mtx", L"DefaultTheme\\PauseHover.mtx",
                                L"DefaultTheme\\PausePressed.mtx", w / 2 - at(24), h - at(70), 48, 36));
    skin.next.reset(MakeButton(at, L"DefaultTheme\\Next.mtx", L"DefaultTheme\\NextHover.mtx",
                               L"DefaultTheme\\NextPressed.mtx", w / 2 + at(50), h - at(70), 50, 36));
    skin.prev.reset(MakeButton(at, L"DefaultTheme\\Prev.mtx", L"DefaultTheme\\PrevHover.mtx",
                               L"DefaultTheme\\PrevPressed.mtx", w / 2 - at(100), h - at(70), 50, 36));
    skin.randomOn.reset(MakeButton(at, L"DefaultTheme\\RandomPlayEnabled.mtx", L"DefaultTheme\\RandomPlayEnabled.mtx",
                                   L"DefaultTheme\\RandomPlayEnabledPressed.mtx", at(20), h - at(60), 20, 20));
    skin.randomOff.reset(MakeButton(at, L"DefaultTheme\\RandomPlayDisabled.mtx",
                                    L"DefaultTheme\\RandomPlayDisabled.mtx", L"DefaultTheme\\RandomPlayDisabled.mtx",
                                    at(20), h - at(60), 20, 20));
    skin.showPlaylist.reset(MakeButton(at, L"DefaultTheme\\ShowPlaylist.mtx", w - at(40), h - at(60), 20, 20));
    skin.seekBar.reset(MakeButton(at, L"DefaultTheme\\SeekBar.mtx", w / 2 - at(170), h - at(88), 340, 14));
    skin.seekProgress.reset(MakeImage(at, L"DefaultTheme\\SeekBarProgress.mtx", w / 2 - at(167), h - at(88), 0, 14));
    skin.defaultArt.reset(MakeImage(at, L"DefaultTheme\\DefaultAlbumArt.mtx", at(14), at(8), 130, 130));
    skin.trackArt.reset(MakeImage(at, L"DefaultTheme\\DefaultAlbumArt.mtx", at(14), at(8), 130, 130));
    skin.about.reset(MakeImage(at, L"About.mtx", 0, 0, 360, 200));
    return skin;
}

template <typename T>
void Free(T*& object)
{
    delete object;
    object = nullptr;
}

// Frees the window's skin objects. Under the lock.
void FreeSkin()
{
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
    ReleaseFillCopy();
}

// Hands the objects to the window in place of its own, keeping what the old ones showed: the
// play or pause state and the random state; a track that started first, even before the window
// had a skin, gets its art on the new one. Under the lock.
void InstallSkin(SkinObjects& skin)
{
    const bool showedPause = playPauseButton && playPauseButton == pauseButton;
    FreeSkin();
    playButton = skin.play.release();
    pauseButton = skin.pause.release();
    nextButton = skin.next.release();
    prevButton = skin.prev.release();
    randomOnButton = skin.randomOn.release();
    randomOffButton = skin.randomOff.release();
    showPlaylistButton = skin.showPlaylist.release();
    seekBar = skin.seekBar.release();
    seekProgress = skin.seekProgress.release();
    defaultAlbumArt = skin.defaultArt.release();
    trackAlbumArt = skin.trackArt.release();
    aboutImage = skin.about.release();
    playPauseButton = showedPause ? pauseButton : playButton;
    randomButton = randomPlay ? randomOnButton : randomOffButton;
    ShowTrackArt();
}

void CreateComponents()
{
    engine = new PlaybackEngine();
    scanner = new FolderScanner();
}

// Sizes that follow the scale outside the skin objects. Under the lock.
void TakeScale(int dpi)
{
    windowDpi = dpi;
    listRect = {0, 0, Scaled(350), Scaled(200)};
    ScalePlaylistRows();
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
        SkinObjects skin = BuildSkin(w, h, windowDpi);
        StateLock lock(stateLock);
        InstallSkin(skin);
        TakeScale(windowDpi);
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
    FreeSkin();
    ReleaseComponents();
    PostQuitMessage(0);
}

void RescaleWindow(HWND window, int dpi, const RECT& suggested)
{
    int w = suggested.right - suggested.left, h = suggested.bottom - suggested.top;
    if (dpi > 0 && dpi != windowDpi) {
        try {
            SkinObjects skin = BuildSkin(w, h, dpi);
            StateLock lock(stateLock);
            InstallSkin(skin);
            const int rowBefore = rowHeight;
            TakeScale(dpi);
            // The view stays on the same rows; they are drawn again at the new size.
            scrollTarget = MulDiv(scrollTarget, rowHeight, rowBefore);
            scrollPos = scrollTarget;
            hoverStale = true;
            playlistBuilt = false;
        } catch (...) {
            // A skin that cannot be loaded at the new scale: the old one stays, and so does the
            // window's size; it only moves to the suggested place.
            RECT outer = {};
            GetWindowRect(window, &outer);
            w = outer.right - outer.left;
            h = outer.bottom - outer.top;
        }
    }
    SetWindowPos(window, nullptr, suggested.left, suggested.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    {
        StateLock lock(stateLock);
        ReleaseBackBuffer();
        CreateBackBuffer(window);
    }
    RebuildShownPlaylist(window);
    RescaleTaskbarButtons(window);
    InvalidateWindow(window);
}
