// The playback engine: decodes mp3, ogg, flac and opus files and plays them through waveOut.
#pragma once

#include <cstdint>

// What a source delivers. Only sampleRate (the third field) is read by the player.
struct StreamFormat {
    int32_t channels;
    int32_t bitsPerSample;
    int32_t sampleRate;
    int32_t bytesPerFrame;
};

class StreamSource {
public:
    virtual StreamFormat GetStreamFormat() = 0;

protected:
    ~StreamSource() = default;
};

// One loaded file. The engine owns every sound; the player only calls these and, after
// ReleaseSound, writes null into PlaybackEngine::ActiveSound itself. The slot order is fixed.
class PlaybackSound {
public:
    virtual void ReleaseSound() = 0;
    virtual StreamSource* GetStreamSource() = 0;
    virtual bool QueryPaused() = 0;
    virtual void StopSound() = 0;
    virtual bool HasEnded() = 0;
    virtual uint32_t LengthMs() = 0;

protected:
    ~PlaybackSound() = default;
};

class EngineCore;
// A file opened and decoded up to its first sound, not yet heard. Owned by the caller until it is
// given to StartPrepared or DiscardPrepared.
class PreparedSound;

class PlaybackEngine {
public:
    // Throws an 8-bit message string when the engine cannot be set up.
    PlaybackEngine();
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // The current sound, null when none is loaded.
    PlaybackSound* ActiveSound;

    // Starts the file; true when it decodes and output started. The earlier sound is ended, or,
    // when it has just ended (HasEnded) and the new file has its rate and channels, the new one
    // follows it on the same device without a gap. StartPrepared(PrepareSound(path)).
    bool StartPlaying(const char* path);
    // StartPlaying in two halves, for callers that hold stateLock: the slow one (reading the file,
    // setting up its decoder, opening the device) runs on any thread without it, and touches no
    // sound; the quick one swaps the sounds. Null when the file does not play.
    PreparedSound* PrepareSound(const char* path);
    // Like PrepareSound, for a sound that starts paused at atMs (at its start when the file is
    // shorter, or cannot be sought there), always on a device of its own: nothing of it is heard
    // until Pause(false).
    PreparedSound* PrepareHeldSound(const char* path, uint32_t atMs);
    // Takes prepared (and nulls it) when it starts, and when it cannot. A sound prepared to follow
    // the current one on its device, which can no longer take it (sought or stopped since), is
    // left with the caller: false with prepared still set. OpenOutput, without holding any lock,
    // then StartPrepared again.
    bool StartPrepared(PreparedSound*& prepared);
    // Opens a device of its own for a sound that was to follow the current one. Slow.
    static bool OpenOutput(PreparedSound* prepared);
    // Before a prepared sound with a device of its own replaces a current one that is playing out
    // its last moments (HasEnded): waits up to timeoutMs, holding nothing, for those to be heard,
    // so that a file of another rate or channel count does not cut the end of the one before it.
    // Returns at once in every other case (a sound that follows on the current device included).
    void WaitForEndingSound(const PreparedSound* next, unsigned long timeoutMs);
    static void DiscardPrepared(PreparedSound* prepared);
    bool Pause(bool pause);
    bool Seek(float fraction);
    // The player's own level, 0 to 100 (100 at first): it scales the samples of every sound from
    // the next buffer on, on a curve that the ear hears as even steps. At 100 nothing is scaled
    // but by a file's own track gain (its ReplayGain tags), which applies before the level.
    void SetVolume(int percent);
    int Volume() const;
    // Fraction of the active sound's length heard so far, 0 without a sound.
    float GetPlayPos();
    // Length of the active sound as "m:ss" or "h:mm:ss", "[N/A]" without a sound. Engine-owned.
    const wchar_t* GetPlayTime();

private:
    PreparedSound* Prepare(const char* path, bool held, uint32_t atMs);

    EngineCore* core;
};
