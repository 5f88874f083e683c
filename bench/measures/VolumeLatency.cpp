// volume-latency: from a wheel notch over the playing window until the lower level is heard in the
// capture. The floor is a bare waveOut loop that scales its samples just before it queues them,
// four buffers of 10 ms ahead: what Wine's way to the capture costs by itself. Runs against the
// paced capture, not the null sink.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "playback/StartWorker.h"
#include "support/Audio.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const CaptureFormat kCdStereo = {44100, 2};
const double kToneAmplitude = 0.5;             // of the floor's tone
const double kNotchGain = 0.95 * 0.95 * 0.95;  // 100 % to 95 %, on the player's cubic curve

// Milliseconds from changedAt until the capture holds the lower level: the first of two 10 ms windows
// in a row whose level is within a third of the step from it, measured against the level of the
// 200 ms before the change. A window that a late buffer left silent does not count as the lower
// level. -1 when it never comes within a second.
int HeardAfterMs(uint64_t changedAt)
{
    if (!WaitForCaptureSize(changedAt + kCdStereo.BytesFor(1000), 30000)) return -1;
    const auto before = ReadCapture(kCdStereo, changedAt - kCdStereo.BytesFor(200), changedAt);
    const double level = ToneAmplitude(before, 44100, 440);
    const double lower = level * kNotchGain;
    const double band = (level - lower) / 3.0;
    const auto heard = ReadCapture(kCdStereo, changedAt, changedAt + kCdStereo.BytesFor(1000));
    const size_t window = 441;
    bool previous = false;
    for (size_t at = 0; at + window <= heard.size(); at += window) {
        std::vector<float> part(heard.begin() + at, heard.begin() + at + window);
        const bool atLower = std::fabs(ToneAmplitude(part, 44100, 440) - lower) < band;
        if (atLower && previous) return static_cast<int>((at - window) * 1000 / 44100);
        previous = atLower;
    }
    return -1;
}

int FloorLatencyMs()
{
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR)
        return -1;
    const size_t frames = 441;
    std::vector<std::vector<int16_t>> samples(4, std::vector<int16_t>(frames * 2));
    std::vector<WAVEHDR> headers(4);
    uint64_t written = 0;
    double gain = 1.0;
    const uint64_t start = CaptureSize();
    uint64_t changedAt = 0;
    for (;;) {
        for (size_t i = 0; i < headers.size(); ++i) {
            WAVEHDR& header = headers[i];
            if (header.dwFlags & WHDR_PREPARED) {
                if (!(header.dwFlags & WHDR_DONE)) continue;
                waveOutUnprepareHeader(device, &header, sizeof header);
            }
            if (changedAt == 0 && CaptureSize() >= start + kCdStereo.BytesFor(800)) {
                changedAt = CaptureSize();
                gain = kNotchGain;
            }
            for (size_t f = 0; f < frames; ++f, ++written) {
                const double value =
                    kToneAmplitude * gain * std::sin(2 * 3.14159265358979 * 440 * written / 44100.0) * 32767;
                samples[i][2 * f] = samples[i][2 * f + 1] = static_cast<int16_t>(std::lround(value));
            }
            header = {};
            header.lpData = reinterpret_cast<LPSTR>(samples[i].data());
            header.dwBufferLength = static_cast<DWORD>(frames * 4);
            waveOutPrepareHeader(device, &header, sizeof header);
            waveOutWrite(device, &header, sizeof header);
        }
        if (changedAt != 0 && CaptureSize() >= changedAt + kCdStereo.BytesFor(1000)) break;
        if (WaitForSingleObject(done, 5000) == WAIT_TIMEOUT) break;
    }
    waveOutReset(device);
    for (WAVEHDR& header : headers) waveOutUnprepareHeader(device, &header, sizeof header);
    waveOutClose(device);
    CloseHandle(done);
    return changedAt != 0 ? HeardAfterMs(changedAt) : -1;
}

}  // namespace

TEST(Measure, VolumeLatency)
{
    ASSERT_FALSE(CapturePath().empty()) << "needs the paced capture";
    const int floor = FloorLatencyMs();
    ASSERT_GE(floor, 0);

    HWND window = CreatePlayerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(scanner->Scan(MediaPath("tone-440.mp3").c_str()));
    ASSERT_TRUE(StartTrackNow(0));
    const uint64_t start = CaptureSize();
    ASSERT_TRUE(WaitForCaptureSize(start + kCdStereo.BytesFor(800), 30000));
    const uint64_t changedAt = CaptureSize();
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    const int ours = HeardAfterMs(changedAt);
    DestroyPlayerWindow(window);
    ASSERT_GE(ours, 0);
    printf("measure volume-latency ours=%d floor=%d unit=ms\n", ours, floor);
}
