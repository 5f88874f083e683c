// MPEG audio through libmpg123, reading the file through our own callbacks so the path stays ANSI.
// 64-bit offsets in this file only: mpg123's names then resolve to its _64 entry points.
#define _FILE_OFFSET_BITS 64

#include "components/AudioDecoder.h"

#include <mpg123.h>

#include <cstring>

namespace audio {

namespace {

mpg123_ssize_t ReadCallback(void* handle, void* buffer, size_t bytes)
{
    auto* source = static_cast<SourceFile*>(handle);
    const size_t got = source->Read(buffer, bytes);
    if (got == 0 && !source->AtEnd()) return -1;
    return static_cast<mpg123_ssize_t>(got);
}

off_t SeekCallback(void* handle, off_t offset, int whence)
{
    auto* source = static_cast<SourceFile*>(handle);
    if (!source->Seek(offset, whence)) return -1;
    return static_cast<off_t>(source->Tell());
}

class Mp3Decoder final : public AudioDecoder {
public:
    Mp3Decoder(SourceFile source, int64_t audioStart) : source(std::move(source)), audioStart(audioStart) {}

    ~Mp3Decoder() override
    {
        if (handle != nullptr) {
            mpg123_close(handle);
            mpg123_delete(handle);
        }
    }

    bool Open()
    {
        if (!OpenHandle(MPG123_NO_PEEK_END | MPG123_FORCE_SEEKABLE) || !ReadFormat()) return false;
        ReadGainFrames();
        return true;
    }

    // The length a full pass over the frames gives, for files without an info header.
    uint64_t CountFrames()
    {
        if (!OpenHandle(0) || mpg123_scan(handle) != MPG123_OK) return 0;
        const off_t length = mpg123_length(handle);
        return length > 0 ? static_cast<uint64_t>(length) : 0;
    }

    bool SeekTo(uint64_t frame) override { return mpg123_seek(handle, static_cast<off_t>(frame), SEEK_SET) >= 0; }

protected:
    size_t ReadSome(int16_t* out, size_t maxFrames) override
    {
        const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(channels);
        // A format change or a resync may yield nothing once; a bounded number of retries.
        for (int attempt = 0; attempt < 16; ++attempt) {
            size_t bytes = 0;
            const int result = mpg123_read(handle, out, maxFrames * frameBytes, &bytes);
            if (bytes > 0) return bytes / frameBytes;
            if (result == MPG123_NEW_FORMAT) {
                long newRate = 0;
                int newChannels = 0;
                int encoding = 0;
                mpg123_getformat(handle, &newRate, &newChannels, &encoding);
                // A stream that switches format midway ends where it switches.
                if (newRate != rate || newChannels != channels || encoding != MPG123_ENC_SIGNED_16) return 0;
                continue;
            }
            if (result != MPG123_OK) return 0;  // MPG123_DONE or an error
        }
        return 0;
    }

private:
    bool OpenHandle(long flags)
    {
        int error = MPG123_OK;
        handle = mpg123_new(nullptr, &error);
        if (handle == nullptr) return false;
        // Quiet: no messages on stderr for damaged frames. Gapless: the encoder's delay and
        // padding that an info header gives are cut, so tracks of an album follow seamlessly.
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | flags, 0.0);
        // Only signed 16-bit output, at whatever rate and channel count the stream has.
        mpg123_format_none(handle);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i) {
            mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        }
        if (mpg123_replace_reader_handle(handle, ReadCallback, SeekCallback, nullptr) != MPG123_OK) return false;
        return mpg123_open_handle(handle, &source) == MPG123_OK;
    }

    bool ReadFormat()
    {
        long streamRate = 0;
        int streamChannels = 0;
        int encoding = 0;
        if (mpg123_getformat(handle, &streamRate, &streamChannels, &encoding) != MPG123_OK) return false;
        if (encoding != MPG123_ENC_SIGNED_16 || !IsPlayableFormat(static_cast<int>(streamRate), streamChannels)) {
            return false;
        }
        rate = static_cast<int>(streamRate);
        channels = streamChannels;
        // Kept from peeking at the file's end, mpg123 gives a length only when an info header
        // (Xing, Info) counts the frames, and then an exact one. Without it the length is guessed
        // from the file size and the first frame's bit rate, and counted later (CountMp3Frames).
        mpg123_frameinfo info = {};
        if (mpg123_info(handle, &info) != MPG123_OK) info = {};
        const int64_t bytes = source.Length() - audioStart;
        const off_t length = mpg123_length(handle);
        if (length > 0 && HeaderFitsFile(info, bytes)) {
            totalFrames = static_cast<uint64_t>(length);
            return true;
        }
        lengthExact = false;
        if (bytes > 0 && info.bitrate > 0) {
            totalFrames = static_cast<uint64_t>(static_cast<double>(bytes) * 8.0 / (info.bitrate * 1000.0) * rate);
        }
        return true;
    }

    // ReplayGain comes in TXXX frames, which mpg123 has read with the tag by the time the format
    // is known.
    void ReadGainFrames()
    {
        mpg123_id3v2* tag = nullptr;
        if (mpg123_id3(handle, nullptr, &tag) != MPG123_OK || tag == nullptr || tag->extra == nullptr) return;
        for (size_t i = 0; i < tag->extras; ++i) {
            const mpg123_string& name = tag->extra[i].description;
            const mpg123_string& value = tag->extra[i].text;
            if (name.p == nullptr || value.p == nullptr) continue;
            NoteGainTag(name.p, strnlen(name.p, name.fill), value.p, strnlen(value.p, value.fill));
        }
    }

    // An info header written before the file was cut short claims more frames than the file can
    // hold: frames of the header's size for constant bit rate, frames of the lowest bit rate else.
    bool HeaderFitsFile(const mpg123_frameinfo& info, int64_t bytes)
    {
        const off_t frames = mpg123_framelength(handle);
        const int samplesPerFrame = mpg123_spf(handle);
        if (frames <= 0 || bytes <= 0 || samplesPerFrame <= 0 || info.rate <= 0) return false;
        const int lowestKbps = info.version == MPG123_1_0 ? 32 : 8;
        const double frameBytes =
            info.vbr == MPG123_CBR ? info.framesize + 4.0 : samplesPerFrame / 8.0 * lowestKbps * 1000.0 / info.rate;
        return static_cast<double>(bytes) >= 0.98 * static_cast<double>(frames) * frameBytes;
    }

    SourceFile source;
    const int64_t audioStart;
    mpg123_handle* handle = nullptr;
};

}  // namespace

uint64_t CountMp3Frames(const char* path, const std::atomic<bool>& cancel)
{
    FilePtr file(path != nullptr ? fopen(path, "rb") : nullptr);
    if (!file) return 0;
    SourceFile source(std::move(file), 0);
    source.CancelWhen(&cancel);
    Mp3Decoder counter(std::move(source), 0);
    const uint64_t frames = counter.CountFrames();
    return cancel.load() ? 0 : frames;
}

std::unique_ptr<AudioDecoder> OpenMp3Decoder(SourceFile source, int64_t audioStart)
{
    auto decoder = std::make_unique<Mp3Decoder>(std::move(source), audioStart);
    if (!decoder->Open()) return nullptr;
    return decoder;
}

}  // namespace audio
