// MPEG audio through libmpg123, reading the file through our own callbacks so the path stays ANSI.
// 64-bit offsets in this file only: mpg123's names then resolve to its _64 entry points.
#define _FILE_OFFSET_BITS 64

#include "components/AudioDecoder.h"

#include <mpg123.h>

namespace audio {

namespace {

mpg123_ssize_t ReadCallback(void* handle, void* buffer, size_t bytes) {
    auto* source = static_cast<SourceFile*>(handle);
    const size_t got = source->Read(buffer, bytes);
    if (got == 0 && !source->AtEnd()) return -1;
    return static_cast<mpg123_ssize_t>(got);
}

off_t SeekCallback(void* handle, off_t offset, int whence) {
    auto* source = static_cast<SourceFile*>(handle);
    if (!source->Seek(offset, whence)) return -1;
    return static_cast<off_t>(source->Tell());
}

class Mp3Decoder final : public AudioDecoder {
public:
    explicit Mp3Decoder(SourceFile source) : source(std::move(source)) {}

    ~Mp3Decoder() override {
        if (handle != nullptr) {
            mpg123_close(handle);
            mpg123_delete(handle);
        }
    }

    bool Open() {
        int error = MPG123_OK;
        handle = mpg123_new(nullptr, &error);
        if (handle == nullptr) return false;
        // Quiet: no messages on stderr for damaged frames.
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        // Only signed 16-bit output, at whatever rate and channel count the stream has.
        mpg123_format_none(handle);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i) {
            mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        }
        if (mpg123_replace_reader_handle(handle, ReadCallback, SeekCallback, nullptr) != MPG123_OK) return false;
        if (mpg123_open_handle(handle, &source) != MPG123_OK) return false;

        long streamRate = 0;
        int streamChannels = 0;
        int encoding = 0;
        if (mpg123_getformat(handle, &streamRate, &streamChannels, &encoding) != MPG123_OK) return false;
        if (encoding != MPG123_ENC_SIGNED_16 || streamRate <= 0 || streamChannels < 1 || streamChannels > 2) {
            return false;
        }
        // A full pass over the frame headers: the only exact length for VBR files without an
        // info header, and an index that makes seeks land on the right frame.
        if (mpg123_scan(handle) != MPG123_OK) return false;
        const off_t length = mpg123_length(handle);
        rate = static_cast<int>(streamRate);
        channels = streamChannels;
        totalFrames = length > 0 ? static_cast<uint64_t>(length) : 0;
        return true;
    }

    bool SeekTo(uint64_t frame) override {
        return mpg123_seek(handle, static_cast<off_t>(frame), SEEK_SET) >= 0;
    }

protected:
    size_t ReadSome(int16_t* out, size_t maxFrames) override {
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
    SourceFile source;
    mpg123_handle* handle = nullptr;
};

}  // namespace

std::unique_ptr<AudioDecoder> OpenMp3Decoder(SourceFile source) {
    auto decoder = std::make_unique<Mp3Decoder>(std::move(source));
    if (!decoder->Open()) return nullptr;
    return decoder;
}

}  // namespace audio
