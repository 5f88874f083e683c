// Picks the decoder for a file by its first bytes and holds what all decoders share.
#include "components/AudioDecoder.h"

#include <cstring>

namespace audio {

namespace {

// Where the audio starts: after an ID3v2 tag (and its footer) if the file begins with one.
int64_t SkipId3v2(FILE* file)
{
    unsigned char header[10];
    if (fread(header, 1, sizeof header, file) != sizeof header || memcmp(header, "ID3", 3) != 0) return 0;
    // The size is syncsafe: 7 bits per byte; a set top bit means this is no tag.
    int64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] & 0x80) return 0;
        size = (size << 7) | header[i];
    }
    const bool hasFooter = (header[5] & 0x10) != 0;
    return 10 + size + (hasFooter ? 10 : 0);
}

// Ogg holds Vorbis or Opus: the first page's first packet names the codec, after the page header
// and its table of segment sizes.
bool IsOggOpus(FILE* file, int64_t pageStart)
{
    unsigned char header[27];
    if (_fseeki64(file, pageStart, SEEK_SET) != 0 || fread(header, 1, sizeof header, file) != sizeof header) {
        return false;
    }
    char codec[8];
    return _fseeki64(file, header[26], SEEK_CUR) == 0 && fread(codec, 1, sizeof codec, file) == sizeof codec &&
           memcmp(codec, "OpusHead", 8) == 0;
}

}  // namespace

SourceFile::SourceFile(FilePtr file, int64_t start) : file(std::move(file)), start(start)
{
    _fseeki64(this->file.get(), start, SEEK_SET);
}

size_t SourceFile::Read(void* buffer, size_t bytes)
{
    if (cancel != nullptr && cancel->load()) return 0;
    return fread(buffer, 1, bytes, file.get());
}

bool SourceFile::Seek(int64_t offset, int whence)
{
    clearerr(file.get());  // a file read to its end stays "at end" after _fseeki64 on this runtime
    if (whence == SEEK_SET) offset += start;
    if (whence == SEEK_CUR || whence == SEEK_SET || whence == SEEK_END) {
        return _fseeki64(file.get(), offset, whence) == 0 && _ftelli64(file.get()) >= start;
    }
    return false;
}

int64_t SourceFile::Tell()
{
    const int64_t position = _ftelli64(file.get());
    return position < 0 ? -1 : position - start;
}

int64_t SourceFile::Length()
{
    const int64_t here = _ftelli64(file.get());
    if (here < 0 || _fseeki64(file.get(), 0, SEEK_END) != 0) return -1;
    const int64_t end = _ftelli64(file.get());
    if (_fseeki64(file.get(), here, SEEK_SET) != 0 || end < start) return -1;
    return end - start;
}

bool SourceFile::AtEnd()
{
    return feof(file.get()) != 0;
}

size_t AudioDecoder::Read(int16_t* out, size_t maxFrames)
{
    size_t done = 0;
    while (done < maxFrames) {
        const size_t got = ReadSome(out + done * channels, maxFrames - done);
        if (got == 0) break;
        done += got;
    }
    return done;
}

std::unique_ptr<AudioDecoder> OpenAudioDecoder(const char* path)
{
    if (path == nullptr || *path == '\0') return nullptr;
    FilePtr file(fopen(path, "rb"));
    if (!file) return nullptr;

    const int64_t audioStart = SkipId3v2(file.get());
    char magic[4] = {};
    const bool haveMagic =
        _fseeki64(file.get(), audioStart, SEEK_SET) == 0 && fread(magic, 1, sizeof magic, file.get()) == sizeof magic;
    if (!haveMagic && audioStart == 0) return nullptr;  // shorter than any frame or header

    // mpg123 reads (and skips) the tag itself; the others see the file from their magic on.
    std::unique_ptr<AudioDecoder> decoder;
    if (haveMagic && memcmp(magic, "OggS", 4) == 0 && IsOggOpus(file.get(), audioStart))
        decoder = OpenOpusDecoder(SourceFile(std::move(file), audioStart));
    else if (haveMagic && memcmp(magic, "OggS", 4) == 0)
        decoder = OpenVorbisDecoder(SourceFile(std::move(file), audioStart));
    else if (haveMagic && memcmp(magic, "fLaC", 4) == 0)
        decoder = OpenFlacDecoder(SourceFile(std::move(file), audioStart));
    else
        decoder = OpenMp3Decoder(SourceFile(std::move(file), 0), audioStart);
    if (decoder && !IsPlayableFormat(decoder->Rate(), decoder->Channels())) return nullptr;
    return decoder;
}

}  // namespace audio
