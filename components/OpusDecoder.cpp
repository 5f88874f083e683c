// Ogg Opus through opusfile, reading the file through our own callbacks: opusfile's own opening
// takes a path for UTF-8, while the player's paths are in the ANSI code page.
#include "components/AudioDecoder.h"

#include <opus/opusfile.h>

#include <climits>

namespace audio {

namespace {

// Every Opus stream decodes at this rate, whatever rate the encoder was fed.
constexpr int kOpusRate = 48000;

int ReadCallback(void* handle, unsigned char* buffer, int bytes)
{
    auto* source = static_cast<SourceFile*>(handle);
    if (bytes <= 0) return 0;
    const size_t got = source->Read(buffer, static_cast<size_t>(bytes));
    if (got == 0 && !source->AtEnd()) return -1;
    return static_cast<int>(got);
}

int SeekCallback(void* handle, opus_int64 offset, int whence)
{
    return static_cast<SourceFile*>(handle)->Seek(offset, whence) ? 0 : -1;
}

opus_int64 TellCallback(void* handle)
{
    return static_cast<SourceFile*>(handle)->Tell();
}

class OpusDecoder final : public AudioDecoder {
public:
    explicit OpusDecoder(SourceFile source) : source(std::move(source)) {}

    ~OpusDecoder() override
    {
        if (file != nullptr) op_free(file);
    }

    bool Open()
    {
        // No close callback: the SourceFile member closes the file.
        const OpusFileCallbacks callbacks = {ReadCallback, SeekCallback, TellCallback, nullptr};
        file = op_open_callbacks(&source, &callbacks, nullptr, 0, nullptr);
        if (file == nullptr) return false;
        // Surround is mixed down to stereo by opusfile, which knows each mapping's layout.
        channels = op_channel_count(file, -1) == 1 ? 1 : 2;
        rate = kOpusRate;
        const ogg_int64_t total = op_seekable(file) ? op_pcm_total(file, -1) : 0;
        totalFrames = total > 0 ? static_cast<uint64_t>(total) : 0;
        // R128_TRACK_GAIN, in dB as Q7.8, comes on top of the header's output gain (which opusfile
        // has applied already).
        int q78 = 0;
        if (const OpusTags* tags = op_tags(file, -1); tags != nullptr && opus_tags_get_track_gain(tags, &q78) == 0) {
            NoteTrackGainDb(q78 / 256.0);
        }
        return true;
    }

    bool SeekTo(uint64_t frame) override { return op_pcm_seek(file, static_cast<ogg_int64_t>(frame)) == 0; }

protected:
    size_t ReadSome(int16_t* out, size_t maxFrames) override
    {
        const size_t wanted = maxFrames * static_cast<size_t>(channels);
        const int samples = wanted > INT_MAX ? INT_MAX - INT_MAX % 2 : static_cast<int>(wanted);
        // A hole in the data (OP_HOLE) is skipped; a bounded number of them in a row.
        for (int attempt = 0; attempt < 16; ++attempt) {
            int link = 0;
            const int got = channels == 2 ? op_read_stereo(file, out, samples) : op_read(file, out, samples, &link);
            if (got == OP_HOLE) continue;
            if (got <= 0) return 0;
            // A chained mono file whose next part has more channels ends where that part begins.
            if (channels == 1 && op_channel_count(file, link) != 1) return 0;
            return static_cast<size_t>(got);
        }
        return 0;
    }

private:
    SourceFile source;
    OggOpusFile* file = nullptr;
};

}  // namespace

std::unique_ptr<AudioDecoder> OpenOpusDecoder(SourceFile source)
{
    auto decoder = std::make_unique<OpusDecoder>(std::move(source));
    if (!decoder->Open()) return nullptr;
    return decoder;
}

}  // namespace audio
