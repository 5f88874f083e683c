// Picks the decoder for a file by its first bytes and holds what all decoders share.
#include "components/AudioDecoder.h"

#include <algorithm>
#include <cmath>
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

// Gains beyond these are no real master's, and a peak beyond 8 times full scale neither.
constexpr double kMinGainDb = -60.0;
constexpr double kMaxGainDb = 24.0;
constexpr double kMaxPeak = 8.0;

// A tag's figure: "-6.50 dB", "+3 dB", "0.988". Digits with one point only: strtod would take
// "nan", "inf", hexadecimal and the locale's decimal comma.
bool ParseGainFigure(const char* text, size_t length, double& figure)
{
    size_t at = 0;
    while (at < length && text[at] == ' ') ++at;
    const bool negative = at < length && text[at] == '-';
    if (at < length && (text[at] == '-' || text[at] == '+')) ++at;
    double value = 0, scale = 1;
    int digits = 0;
    bool point = false;
    for (; at < length; ++at) {
        const char c = text[at];
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9' && digits < 12) {
            ++digits;
            if (point) scale /= 10;
            value = point ? value + (c - '0') * scale : value * 10 + (c - '0');
        } else {
            break;
        }
    }
    while (at < length && text[at] == ' ') ++at;
    if (at + 2 <= length && _strnicmp(text + at, "dB", 2) == 0) at += 2;
    while (at < length && text[at] == ' ') ++at;
    if (digits == 0 || at != length) return false;
    figure = negative ? -value : value;
    return true;
}

bool NameIs(const char* name, size_t length, const char* expected)
{
    return length == strlen(expected) && _strnicmp(name, expected, length) == 0;
}

}  // namespace

double AudioDecoder::TrackGain() const
{
    if (!hasTrackGain) return 1.0;
    const double gain = std::pow(10.0, trackGainDb / 20.0);
    return trackPeak > 0 ? std::min(gain, 1.0 / trackPeak) : gain;
}

void AudioDecoder::NoteGainTag(const char* name, size_t nameLength, const char* value, size_t valueLength)
{
    double figure = 0;
    if (NameIs(name, nameLength, "REPLAYGAIN_TRACK_GAIN")) {
        if (ParseGainFigure(value, valueLength, figure)) NoteTrackGainDb(figure);
    } else if (NameIs(name, nameLength, "REPLAYGAIN_TRACK_PEAK")) {
        if (!ParseGainFigure(value, valueLength, figure) || figure <= 0 || figure > kMaxPeak) return;
        trackPeak = figure;
    }
}

void AudioDecoder::NoteTrackGainDb(double db)
{
    if (db < kMinGainDb || db > kMaxGainDb) return;
    trackGainDb = db;
    hasTrackGain = true;
}

void AudioDecoder::NoteGainComment(const char* comment, size_t length)
{
    const char* equals = static_cast<const char*>(memchr(comment, '=', length));
    if (equals == nullptr) return;
    const size_t nameLength = static_cast<size_t>(equals - comment);
    NoteGainTag(comment, nameLength, equals + 1, length - nameLength - 1);
}

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
