// Builds ID3v2.3 (or v2.4) tags in memory, and cover pictures for them, so tests can write tagged files.
#include "support/TagWriter.h"

#include <cstring>
#include <memory>

#include "support/TestSupport.h"

TagWriter& TagWriter::AddFrame(const char* frameId, const Bytes& body, uint16_t flags)
{
    frames.insert(frames.end(), frameId, frameId + 4);
    if (version == 4) {
        for (int shift = 21; shift >= 0; shift -= 7) frames.push_back((body.size() >> shift) & 0x7F);
    } else {
        for (int shift = 24; shift >= 0; shift -= 8)  // not syncsafe in v2.3
            frames.push_back(static_cast<uint8_t>(body.size() >> shift));
    }
    frames.push_back(static_cast<uint8_t>(flags >> 8));
    frames.push_back(static_cast<uint8_t>(flags));
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
    Bytes body{1};
    for (wchar_t unit : L"\uFEFF" + text) {
        uint8_t high = static_cast<uint8_t>(unit >> 8), low = static_cast<uint8_t>(unit);
        body.push_back(order == ByteOrder::BigEndian ? high : low);
        body.push_back(order == ByteOrder::BigEndian ? low : high);
    }
    return AddFrame(frameId, body);
}

TagWriter& TagWriter::AddPicture(const Bytes& data)
{
    const char header[] = "\0image/png\0\3";  // encoding, MIME type, front cover; then the description
    Bytes body(header, header + sizeof header);
    body.insert(body.end(), data.begin(), data.end());
    return AddFrame("APIC", body);
}

Bytes TagWriter::Build() const
{
    Bytes tag{'I', 'D', '3', static_cast<uint8_t>(version), 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back((frames.size() >> shift) & 0x7F);
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

bool TagWriter::WriteFile(const std::string& path) const
{
    Bytes file = Build();
    return WriteFileBytes(path, file.data(), file.size());
}

Bytes EncodePicture(Gdiplus::Bitmap& bitmap, const wchar_t* mimeType)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<uint8_t> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (size == 0 || Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return {};
    const CLSID* encoder = nullptr;
    for (UINT i = 0; i < count; ++i)
        if (wcscmp(codecs[i].MimeType, mimeType) == 0) encoder = &codecs[i].Clsid;

    IStream* rawStream = nullptr;
    if (!encoder || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &rawStream))) return {};
    std::unique_ptr<IStream, void (*)(IStream*)> stream(rawStream, [](IStream* s) { s->Release(); });
    STATSTG stat = {};
    if (bitmap.Save(stream.get(), encoder, nullptr) != Gdiplus::Ok || FAILED(stream->Stat(&stat, STATFLAG_NONAME)))
        return {};
    Bytes bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero = {};
    ULONG read = 0;
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    if (FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read))) read = 0;
    bytes.resize(read);
    return bytes;
}
