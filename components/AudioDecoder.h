// Decoders that turn an mp3, ogg (Vorbis or Opus) or flac file into interleaved 16-bit PCM, chosen by content.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "components/Win32Handles.h"

namespace audio {

// The part of an open file from start on (after a tag in front), as the decoders' callbacks see it.
class SourceFile {
public:
    SourceFile(FilePtr file, int64_t start);
    // Reads fail (0 bytes, not at the end) from the moment flag is set: a long read is called off.
    void CancelWhen(const std::atomic<bool>* flag) { cancel = flag; }
    size_t Read(void* buffer, size_t bytes);
    bool Seek(int64_t offset, int whence);  // SEEK_SET offsets count from start
    int64_t Tell();                         // -1 on failure
    int64_t Length();                       // -1 on failure
    bool AtEnd();

private:
    FilePtr file;
    int64_t start;
    const std::atomic<bool>* cancel = nullptr;
};

// One open source file. Not thread-safe: the output stream serialises every call.
class AudioDecoder {
public:
    virtual ~AudioDecoder() = default;

    int Channels() const { return channels; }
    int Rate() const { return rate; }
    // Length in frames (one sample per channel); 0 when the source does not tell.
    uint64_t TotalFrames() const { return totalFrames; }
    // False when TotalFrames is only an estimate (an mp3 without an info header): counting every
    // frame (CountMp3Frames) then gives the exact length.
    bool LengthExact() const { return lengthExact; }
    // The factor the track's ReplayGain tags ask for, cut to what its peak allows without
    // clipping; 1 when the file has no gain tag, or one that is no plain number of sane size.
    double TrackGain() const;

    // Decodes up to maxFrames frames into out (Channels() samples each). Returns fewer only at
    // the end of the stream or when decoding failed; 0 means nothing more will come.
    size_t Read(int16_t* out, size_t maxFrames);
    // Moves so that the next Read starts at frame. False when the source cannot move there.
    virtual bool SeekTo(uint64_t frame) = 0;

protected:
    // Decodes at least one frame unless the stream is over; may return less than maxFrames.
    virtual size_t ReadSome(int16_t* out, size_t maxFrames) = 0;

    // Notes a tag if it is REPLAYGAIN_TRACK_GAIN or _PEAK (any case); others are ignored. The
    // texts need no terminator.
    void NoteGainTag(const char* name, size_t nameLength, const char* value, size_t valueLength);
    // The same for a Vorbis comment, "NAME=value".
    void NoteGainComment(const char* comment, size_t length);
    // A gain out of the range of real masters is ignored.
    void NoteTrackGainDb(double db);

    int channels = 0;
    int rate = 0;
    uint64_t totalFrames = 0;
    bool lengthExact = true;
    bool hasTrackGain = false;
    double trackGainDb = 0;
    double trackPeak = 0;  // 1.0 is full scale; 0 when the tags do not tell
};

// The formats this engine plays: mono or stereo, 8 to 384 kHz. Anything else a header claims is
// taken for a damaged or hostile file, before any buffer is sized from it.
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 384000;
inline bool IsPlayableFormat(int rate, int channels)
{
    return rate >= kMinRate && rate <= kMaxRate && (channels == 1 || channels == 2);
}

// Opens path (8-bit ANSI) with the decoder its content calls for. Null when the file is missing,
// unreadable or not audio in a format this engine plays.
std::unique_ptr<AudioDecoder> OpenAudioDecoder(const char* path);

// source is the whole file; its audio (the frames) begins at audioStart, after any ID3v2 tag.
std::unique_ptr<AudioDecoder> OpenMp3Decoder(SourceFile source, int64_t audioStart);
// Reads the whole mp3 file for its exact length in frames; 0 when it cannot or when cancel was
// set meanwhile. Slow for long files on slow disks: never on the window thread.
uint64_t CountMp3Frames(const char* path, const std::atomic<bool>& cancel);
std::unique_ptr<AudioDecoder> OpenVorbisDecoder(SourceFile source);
std::unique_ptr<AudioDecoder> OpenFlacDecoder(SourceFile source);
// Always 48 kHz; mono stays mono, anything with more channels is mixed to stereo.
std::unique_ptr<AudioDecoder> OpenOpusDecoder(SourceFile source);

}  // namespace audio
