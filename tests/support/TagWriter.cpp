// Builds ID3v2.3 tags in memory, and cover pictures for them, so tests can write tagged files.
#include "support/TagWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "support/TestSupport.h"

namespace {

void AppendBigEndian32(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 24));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

bool FindEncoder(const wchar_t* mimeType, CLSID* clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<uint8_t> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, mimeType) == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

TagWriter& TagWriter::AddFrame(const char* frameId, const Bytes& body)
{
    frames.insert(frames.end(), frameId, frameId + 4);
    AppendBigEndian32(frames, static_cast<uint32_t>(body.size()));  // not syncsafe in v2.3
    frames.push_back(0);
    frames.push_back(0);
    frames.insert(frames.end(), body.begin(), body.end());
    return *this;
}

TagWriter& TagWriter::AddIsoText(const char* frameId, const std::string& text)
{
    Bytes body{0};
    body.insert(body.end(), text.begin(), text.end());
    return AddFrame(frameId, body);
}

TagWriter& TagWriter::AddUtf16Text(const char* frameId, const std::wstring& text, ByteOrder order)
{
    bool big = order == ByteOrder::BigEndian;
    Bytes body{1};
    auto appendUnit = [&body, big](uint16_t unit) {
        uint8_t high = static_cast<uint8_t>(unit >> 8), low = static_cast<uint8_t>(unit);
        body.push_back(big ? high : low);
        body.push_back(big ? low : high);
    };
    appendUnit(0xFEFF);
    for (wchar_t c : text) appendUnit(static_cast<uint16_t>(c));
    return AddFrame(frameId, body);
}

TagWriter& TagWriter::AddPicture(const char* mimeType, const Bytes& data, uint8_t pictureType)
{
    Bytes body{0};
    body.insert(body.end(), mimeType, mimeType + strlen(mimeType) + 1);
    body.push_back(pictureType);
    body.push_back(0);  // empty description
    body.insert(body.end(), data.begin(), data.end());
    return AddFrame("APIC", body);
}

TagWriter& TagWriter::SetPadding(size_t bytes)
{
    padding = bytes;
    return *this;
}

Bytes TagWriter::Build() const
{
    size_t size = frames.size() + padding;
    Bytes tag{'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    tag.insert(tag.end(), padding, 0);
    return tag;
}

bool TagWriter::WriteTaggedFile(const std::string& path, const Bytes& audio) const
{
    Bytes file = Build();
    file.insert(file.end(), audio.begin(), audio.end());
    return WriteFileBytes(path, file.data(), file.size());
}

Bytes ReadFileContents(const std::string& path)
{
    Bytes bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

Bytes TagFreeAudio(const std::string& mp3Path)
{
    Bytes audio = ReadFileContents(mp3Path);
    if (audio.size() >= 10 && memcmp(audio.data(), "ID3", 3) == 0) {
        size_t tagSize = 10 + ((audio[6] & 0x7F) << 21 | (audio[7] & 0x7F) << 14 |
                               (audio[8] & 0x7F) << 7 | (audio[9] & 0x7F));
        if (audio[5] & 0x10) tagSize += 10;  // footer
        audio.erase(audio.begin(), audio.begin() + std::min(tagSize, audio.size()));
    }
    if (audio.size() >= 128 && memcmp(audio.data() + audio.size() - 128, "TAG", 3) == 0)
        audio.resize(audio.size() - 128);
    if (audio.empty()) audio.assign(1024, 0);
    return audio;
}

Bytes EncodePicture(Gdiplus::Bitmap& bitmap, const wchar_t* mimeType)
{
    Bytes bytes;
    CLSID encoder;
    if (!FindEncoder(mimeType, &encoder)) return bytes;
    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &rawStream))) return bytes;
    std::unique_ptr<IStream, StreamRelease> stream(rawStream);
    if (bitmap.Save(stream.get(), &encoder, nullptr) != Gdiplus::Ok) return bytes;

    LARGE_INTEGER zero = {};
    ULARGE_INTEGER end = {};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end)) || end.QuadPart == 0) return bytes;
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    bytes.resize(static_cast<size_t>(end.QuadPart));
    ULONG read = 0;
    if (FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read))) read = 0;
    bytes.resize(read);
    return bytes;
}
