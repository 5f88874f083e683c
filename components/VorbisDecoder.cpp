// Ogg Vorbis through libvorbisfile, reading the file through our own callbacks.
#include "components/AudioDecoder.h"

#include <vorbis/vorbisfile.h>

#include <climits>

namespace audio {

namespace {

size_t ReadCallback(void* buffer, size_t size, size_t count, void* handle)
{
    if (size == 0) return 0;
    return static_cast<SourceFile*>(handle)->Read(buffer, size * count) / size;
}

int SeekCallback(void* handle, ogg_int64_t offset, int whence)
{
    return static_cast<SourceFile*>(handle)->Seek(offset, whence) ? 0 : -1;
}

long TellCallback(void* handle)
{
    const int64_t position = static_cast<SourceFile*>(handle)->Tell();
    return position > LONG_MAX ? -1 : static_cast<long>(position);
}

class VorbisDecoder final : public AudioDecoder {
public:
    explicit VorbisDecoder(SourceFile source) : source(std::move(source)) {}

    ~VorbisDecoder() override
    {
        if (opened) ov_clear(&file);
    }

    bool Open()
    {
        // No close callback: the SourceFile member closes the file.
        const ov_callbacks callbacks = {ReadCallback, SeekCallback, nullptr, TellCallback};
        if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) return false;
        opened = true;
        const vorbis_info* info = ov_info(&file, -1);
        // The rate is a 32-bit field of the header; nothing is sized from it before this check.
        if (info == nullptr || info->rate > kMaxRate ||
            !IsPlayableFormat(static_cast<int>(info->rate), info->channels)) {
            return false;
        }
        channels = info->channels;
        rate = static_cast<int>(info->rate);
        const ogg_int64_t total = ov_seekable(&file) ? ov_pcm_total(&file, -1) : 0;
        totalFrames = total > 0 ? static_cast<uint64_t>(total) : 0;
        if (const vorbis_comment* comments = ov_comment(&file, -1)) {
            for (int i = 0; i < comments->comments; ++i) {
                if (comments->user_comments[i] == nullptr || comments->comment_lengths[i] < 0) continue;
                NoteGainComment(comments->user_comments[i], static_cast<size_t>(comments->comment_lengths[i]));
            }
        }
        return true;
    }

    bool SeekTo(uint64_t frame) override { return ov_pcm_seek(&file, static_cast<ogg_int64_t>(frame)) == 0; }

protected:
    size_t ReadSome(int16_t* out, size_t maxFrames) override
    {
        const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(channels);
        const size_t wanted = maxFrames * frameBytes;
        const int bytes = wanted > INT_MAX ? INT_MAX - INT_MAX % 4 : static_cast<int>(wanted);
        // A hole in the data (OV_HOLE) is skipped; a bounded number of them in a row.
        for (int attempt = 0; attempt < 16; ++attempt) {
            int link = 0;
            const long got = ov_read(&file, reinterpret_cast<char*>(out), bytes, 0, 2, 1, &link);
            if (got == OV_HOLE) continue;
            if (got <= 0) return 0;
            // A chained file whose next part has another format ends where that part begins.
            const vorbis_info* info = ov_info(&file, link);
            if (info == nullptr || info->channels != channels || info->rate != rate) return 0;
            return static_cast<size_t>(got) / frameBytes;
        }
        return 0;
    }

private:
    SourceFile source;
    OggVorbis_File file = {};
    bool opened = false;
};

}  // namespace

std::unique_ptr<AudioDecoder> OpenVorbisDecoder(SourceFile source)
{
    auto decoder = std::make_unique<VorbisDecoder>(std::move(source));
    if (!decoder->Open()) return nullptr;
    return decoder;
}

}  // namespace audio
