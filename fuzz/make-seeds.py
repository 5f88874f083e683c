#!/usr/bin/env python3
"""Writes the fuzzer's seed files into the folder given: ID3v2.2, v2.3 and v2.4 tags with text in
every encoding, compressed and unsynchronised frames, extended headers, pictures, a v2.2 CDM
frame, an ID3v1 tag and an MPEG frame with a Xing header behind them."""
import struct
import sys
import zlib
from pathlib import Path

PNG = (b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + struct.pack(">IIBBBBB", 600, 300, 8, 6, 0, 0, 0)
       + b"\0\0\0\0")
JPEG = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xc0\x00\x11\x08\x01\x2c\x02\x58\x03"


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def text(encoding, value):
    if encoding == 0:
        return b"\0" + value.encode("latin-1", "replace")
    if encoding == 1:
        return b"\1" + value.encode("utf-16")  # with a byte order mark
    if encoding == 2:
        return b"\2" + value.encode("utf-16-be")
    return b"\3" + value.encode("utf-8")


def frame(version, fid, body, flags=b"\0\0"):
    if version == 2:
        return fid + struct.pack(">I", len(body))[1:] + body
    size = syncsafe(len(body)) if version == 4 else struct.pack(">I", len(body))
    return fid + size + flags + body


def unsynchronise(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def tag(version, frames, flags=0, extended=b""):
    body = extended + b"".join(frames) + b"\0" * 16  # padding
    if flags & 0x80:
        body = unsynchronise(body)
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body)) + body


XING = (b"\xff\xfb\x90\x64" + b"\0" * 32 + b"Xing" + struct.pack(">IIi", 0x0F, 0x7FFFFFF0, -5)
        + bytes(range(100)) + struct.pack(">I", 50) + b"\0" * 256)
ID3V1 = b"TAG" + b"Title".ljust(30, b"\0") + b"Artist".ljust(30, b"\0") + b"Album".ljust(30, b"\0") + b"1999" \
        + b"Comment".ljust(28, b"\0") + b"\0\1\x0c"

WORDS = ["Night Drive", "Caf\u00e9", "\u041f\u0440\u0438\u0432\u0435\u0442", "\u6771\u4eac", "\U0001F3B5 note", ""]
IDS = {3: [b"TIT2", b"TPE1", b"TALB", b"TYER", b"TCOP", b"TPUB"],
       4: [b"TIT2", b"TPE1", b"TALB", b"TDRC", b"TCOP", b"TPUB"],
       2: [b"TT2", b"TP1", b"TAL", b"TYE", b"TCR", b"TPB"]}


def seeds():
    for version in (2, 3, 4):
        for encoding in range(4):
            frames = [frame(version, fid, text(encoding, WORDS[i % len(WORDS)])) for i, fid in enumerate(IDS[version])]
            yield f"v2{version}-enc{encoding}", tag(version, frames) + XING + ID3V1
            yield f"v2{version}-enc{encoding}-unsync", tag(version, frames, 0x80) + XING
        if version == 2:
            pic = frame(2, b"PIC", b"\0PNG\3\0" + PNG)
        else:
            pic = frame(version, b"APIC", b"\0image/png\0\3cover\0" + PNG)
        yield f"v2{version}-picture", tag(version, [pic, frame(version, IDS[version][0], text(0, "Art"))])
    jpeg = frame(3, b"APIC", b"\1image/jpeg\0\3\xff\xfec\0o\0\0\0" + JPEG)
    yield "v23-jpeg-picture", tag(3, [jpeg, jpeg])
    # Compressed frames: v2.3 puts the uncompressed size first, v2.4 a data length indicator.
    for fid, body in [(b"TIT2", text(1, "Compressed title " * 8)), (b"APIC", b"\0image/png\0\3\0" + PNG * 4)]:
        packed = zlib.compress(body)
        yield f"v23-compressed-{fid.decode()}", tag(3, [frame(3, fid, struct.pack(">I", len(body)) + packed, b"\0\x80")])
        yield f"v24-compressed-{fid.decode()}", tag(4, [frame(4, fid, syncsafe(len(body)) + packed, b"\0\x09")])
    # Extended headers: v2.3 with a CRC, v2.4 with its flag bytes.
    ext3 = struct.pack(">IHI", 10, 0x8000, 0) + b"\0\0\0\0"
    yield "v23-extended", tag(3, [frame(3, b"TIT2", text(0, "Extended"))], 0x40, ext3)
    ext4 = syncsafe(6) + b"\1\0"
    yield "v24-extended", tag(4, [frame(4, b"TIT2", text(3, "Extended"))], 0x40, ext4)
    # A v2.2.1 CDM frame: "z", the uncompressed size, then deflated frames.
    inner = frame(2, b"TT2", text(0, "Inside CDM")) + frame(2, b"TP1", text(1, "Packed"))
    cdm = frame(2, b"CDM", b"z" + struct.pack(">I", len(inner)) + zlib.compress(inner))
    yield "v22-cdm", tag(2, [cdm])
    yield "id3v1-only", XING + ID3V1
    yield "empty", b""


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, data in seeds():
        (out / f"{name}.mp3").write_bytes(data)


if __name__ == "__main__":
    main()
