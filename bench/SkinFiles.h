// The files the player loads at start, in its order, with where the idle view shows each one
// (a zero size: loaded, not shown while idle). Shared by the floor window and the skin-load measure.
#pragma once

struct Placed {
    const wchar_t* file;
    int x, y, width, height;
};

const Placed kSkin[] = {
    {L"DefaultTheme\\Play.mtx", 156, 220, 48, 36},
    {L"DefaultTheme\\PlayHover.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\PlayPressed.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\Pause.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\PauseHover.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\PausePressed.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\Next.mtx", 230, 220, 50, 36},
    {L"DefaultTheme\\NextHover.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\NextPressed.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\Prev.mtx", 80, 220, 50, 36},
    {L"DefaultTheme\\PrevHover.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\PrevPressed.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\RandomPlayEnabled.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\RandomPlayEnabled.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\RandomPlayEnabledPressed.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\RandomPlayDisabled.mtx", 20, 230, 20, 20},
    {L"DefaultTheme\\RandomPlayDisabled.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\RandomPlayDisabled.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\ShowPlaylist.mtx", 320, 230, 20, 20},
    {L"DefaultTheme\\SeekBar.mtx", 10, 202, 340, 14},
    {L"DefaultTheme\\SeekBarProgress.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\DefaultAlbumArt.mtx", 0, 0, 0, 0},
    {L"DefaultTheme\\DefaultAlbumArt.mtx", 0, 0, 0, 0},
    {L"About.mtx", 0, 0, 360, 200},
};

const int kSkinFileCount = sizeof kSkin / sizeof kSkin[0];
