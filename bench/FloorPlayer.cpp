// The least a player of an mp3 file must do: libmpg123 decoding into waveOut, four buffers of a
// tenth of a second, refilled by one thread when the device hands one back. Plays to the end.
// With --window it also shows a window whose 100 ms timer asks for the three media keys.
//   FloorPlayer.exe [--window] FILE.mp3
#define _FILE_OFFSET_BITS 64

#include <windows.h>
#include <mmsystem.h>

#include <mpg123.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "components/Win32Handles.h"

namespace {

using KernelHandle = ScopedHandle<CloseHandle>;
const int kBufferCount = 4;

struct Player {
    mpg123_handle* decoder = nullptr;
    HWAVEOUT device = nullptr;
    HANDLE bufferDone = nullptr;
    WAVEHDR headers[kBufferCount] = {};
    std::vector<char> samples[kBufferCount];
};

// Decodes into the buffer and queues it; false at the end of the stream.
bool Refill(Player& player, int index)
{
    WAVEHDR& header = player.headers[index];
    std::vector<char>& samples = player.samples[index];
    size_t bytes = 0;
    int result = mpg123_read(player.decoder, reinterpret_cast<unsigned char*>(samples.data()), samples.size(), &bytes);
    if (bytes == 0 && result != MPG123_OK && result != MPG123_NEW_FORMAT) return false;
    if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(player.device, &header, sizeof header);
    header = {};
    header.lpData = samples.data();
    header.dwBufferLength = static_cast<DWORD>(bytes);
    waveOutPrepareHeader(player.device, &header, sizeof header);
    waveOutWrite(player.device, &header, sizeof header);
    return true;
}

DWORD WINAPI RefillThread(void* param)
{
    Player& player = *static_cast<Player*>(param);
    int queued = 0;
    for (int i = 0; i < kBufferCount; ++i)
        if (Refill(player, i)) ++queued;
    bool sourceEnded = queued < kBufferCount;
    while (queued > 0) {
        WaitForSingleObject(player.bufferDone, INFINITE);
        for (int i = 0; i < kBufferCount; ++i) {
            WAVEHDR& header = player.headers[i];
            if (!(header.dwFlags & WHDR_DONE) || header.dwUser == 1) continue;
            if (!sourceEnded && Refill(player, i)) continue;
            sourceEnded = true;
            header.dwUser = 1;  // played out and not queued again
            --queued;
        }
    }
    return 0;
}

// The least the player's window must do while a file plays: a 100 ms timer that asks for the
// three media keys.
void CALLBACK PollMediaKeys(HWND, UINT, UINT_PTR, DWORD)
{
    GetAsyncKeyState(VK_MEDIA_NEXT_TRACK);
    GetAsyncKeyState(VK_MEDIA_PREV_TRACK);
    GetAsyncKeyState(VK_MEDIA_PLAY_PAUSE);
}

HWND CreateTimerWindow()
{
    HWND window = CreateWindowExA(0, "STATIC", "Floor player", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 360, 290, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetTimer(window, 1, 100, PollMediaKeys);
    return window;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool withWindow = argc == 3 && strcmp(argv[1], "--window") == 0;
    if (argc != 2 && !withWindow) {
        fprintf(stderr, "usage: FloorPlayer.exe [--window] FILE.mp3\n");
        return 2;
    }
    const char* file = argv[argc - 1];
    Player player;
    mpg123_init();
    int error = MPG123_OK;
    player.decoder = mpg123_new(nullptr, &error);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (!player.decoder || mpg123_open(player.decoder, file) != MPG123_OK ||
        mpg123_getformat(player.decoder, &rate, &channels, &encoding) != MPG123_OK) {
        fprintf(stderr, "floor-player: cannot decode %s\n", file);
        return 1;
    }
    mpg123_format_none(player.decoder);
    mpg123_format(player.decoder, rate, channels, MPG123_ENC_SIGNED_16);

    KernelHandle bufferDone(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    player.bufferDone = bufferDone.Get();
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (waveOutOpen(&player.device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(player.bufferDone), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        fprintf(stderr, "floor-player: no device takes %ld Hz, %d channels\n", rate, channels);
        return 1;
    }
    for (auto& samples : player.samples) samples.resize(format.nAvgBytesPerSec / 10);

    KernelHandle thread(CreateThread(nullptr, 0, RefillThread, &player, 0, nullptr));
    if (withWindow && thread.IsValid() && CreateTimerWindow()) {
        // The window's messages until the sound has played out.
        const HANDLE playing = thread.Get();
        while (MsgWaitForMultipleObjects(1, &playing, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
    }
    if (thread.IsValid()) WaitForSingleObject(thread.Get(), INFINITE);
    waveOutReset(player.device);
    for (WAVEHDR& header : player.headers)
        if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(player.device, &header, sizeof header);
    waveOutClose(player.device);
    mpg123_close(player.decoder);
    mpg123_delete(player.decoder);
    return 0;
}
