// FLAC through libFLAC's stream decoder; any sample width is brought to 16 bits.
#include "components/AudioDecoder.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <vector>

namespace audio {

namespace {

class FlacDecoder final : public AudioDecoder {
public:
    explicit FlacDecoder(SourceFile source) : source(std::move(source)) {}

    ~FlacDecoder() override
    {
        if (decoder != nullptr) FLAC__stream_decoder_delete(decoder);  // finishes it first
    }

    bool Open()
    {
        decoder = FLAC__stream_decoder_new();
        if (decoder == nullptr) return false;
        FLAC__stream_decoder_set_md5_checking(decoder, false);
        FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);  // for ReplayGain
        const auto status =
            FLAC__stream_decoder_init_stream(decoder, ReadCallback, SeekCallback, TellCallback, LengthCallback,
                                             EofCallback, WriteCallback, MetadataCallback, ErrorCallback, this);
        if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK) return false;
        if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder) || !haveStreamInfo) return false;
        return IsPlayableFormat(rate, channels) && sourceBits >= 4 && sourceBits <= 32;
    }

    bool SeekTo(uint64_t frame) override
    {
        pending.clear();
        pendingUsed = 0;
        if (FLAC__stream_decoder_seek_absolute(decoder, frame)) return true;
        // After a failed seek the decoder must be flushed before it decodes again.
        if (FLAC__stream_decoder_get_state(decoder) == FLAC__STREAM_DECODER_SEEK_ERROR) {
            FLAC__stream_decoder_flush(decoder);
        }
        pending.clear();
        pendingUsed = 0;
        return false;
    }

protected:
    size_t ReadSome(int16_t* out, size_t maxFrames) override
    {
        // Frames without audio (damaged ones are dropped by libFLAC) yield nothing; bounded retries.
        for (int attempt = 0; pendingUsed == pending.size() && attempt < 16; ++attempt) {
            pending.clear();
            pendingUsed = 0;
            const auto state = FLAC__stream_decoder_get_state(decoder);
            if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED ||
                state == FLAC__STREAM_DECODER_SEEK_ERROR || state == FLAC__STREAM_DECODER_MEMORY_ALLOCATION_ERROR) {
                return 0;
            }
            if (!FLAC__stream_decoder_process_single(decoder)) return 0;
        }
        const size_t available = (pending.size() - pendingUsed) / static_cast<size_t>(channels);
        const size_t frames = std::min(available, maxFrames);
        const size_t samples = frames * static_cast<size_t>(channels);
        std::copy_n(pending.begin() + static_cast<std::ptrdiff_t>(pendingUsed), samples, out);
        pendingUsed += samples;
        return frames;
    }

private:
    static FlacDecoder* Self(void* data) { return static_cast<FlacDecoder*>(data); }

    static FLAC__StreamDecoderReadStatus ReadCallback(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                      void* data)
    {
        if (*bytes == 0) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        *bytes = Self(data)->source.Read(buffer, *bytes);
        if (*bytes > 0) return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
        return Self(data)->source.AtEnd() ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                                          : FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }

    static FLAC__StreamDecoderSeekStatus SeekCallback(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* data)
    {
        return Self(data)->source.Seek(static_cast<int64_t>(offset), SEEK_SET) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                                                                               : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }

    static FLAC__StreamDecoderTellStatus TellCallback(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* data)
    {
        const int64_t position = Self(data)->source.Tell();
        if (position < 0) return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
        *offset = static_cast<FLAC__uint64>(position);
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderLengthStatus LengthCallback(const FLAC__StreamDecoder*, FLAC__uint64* length, void* data)
    {
        const int64_t size = Self(data)->source.Length();
        if (size < 0) return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
        *length = static_cast<FLAC__uint64>(size);
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }

    static FLAC__bool EofCallback(const FLAC__StreamDecoder*, void* data) { return Self(data)->source.AtEnd(); }

    static FLAC__StreamDecoderWriteStatus WriteCallback(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                        const FLAC__int32* const buffer[], void* data)
    {
        FlacDecoder* self = Self(data);
        const unsigned frameChannels = frame->header.channels;
        const unsigned bits = frame->header.bits_per_sample != 0 ? frame->header.bits_per_sample : self->sourceBits;
        // Every frame must match the stream info we opened the device for.
        if (static_cast<int>(frameChannels) != self->channels || bits < 4 || bits > 32) {
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        try {
            const size_t count = frame->header.blocksize;
            self->pending.resize(count * frameChannels);
            int16_t* out = self->pending.data();
            for (size_t i = 0; i < count; ++i) {
                for (unsigned c = 0; c < frameChannels; ++c) {
                    const FLAC__int32 sample = buffer[c][i];
                    *out++ = static_cast<int16_t>(bits > 16 ? sample >> (bits - 16) : sample * (1 << (16 - bits)));
                }
            }
            self->pendingUsed = 0;
        } catch (...) {
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void MetadataCallback(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* data)
    {
        FlacDecoder* self = Self(data);
        if (metadata->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
            const auto& comments = metadata->data.vorbis_comment;
            for (FLAC__uint32 i = 0; i < comments.num_comments; ++i) {
                const auto& entry = comments.comments[i];
                if (entry.entry != nullptr)
                    self->NoteGainComment(reinterpret_cast<const char*>(entry.entry), entry.length);
            }
            return;
        }
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
        const auto& info = metadata->data.stream_info;
        self->channels = static_cast<int>(info.channels);
        self->rate = static_cast<int>(info.sample_rate);
        self->sourceBits = info.bits_per_sample;
        self->totalFrames = info.total_samples;  // 0 when the encoder did not know it
        self->haveStreamInfo = true;
    }

    // Damaged frames are skipped by the decoder itself; nothing to add.
    static void ErrorCallback(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

    SourceFile source;
    FLAC__StreamDecoder* decoder = nullptr;
    unsigned sourceBits = 0;
    bool haveStreamInfo = false;
    std::vector<int16_t> pending;  // the last decoded block, interleaved
    size_t pendingUsed = 0;
};

}  // namespace

std::unique_ptr<AudioDecoder> OpenFlacDecoder(SourceFile source)
{
    auto decoder = std::make_unique<FlacDecoder>(std::move(source));
    if (!decoder->Open()) return nullptr;
    return decoder;
}

}  // namespace audio
