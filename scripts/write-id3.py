#!/usr/bin/env python3
"""Puts an ID3v2.3 tag (text frames and an optional front-cover picture) in front of an mp3 file.

Usage: write-id3.py FILE [--TIT2 text] [--TPE1 text] ... [--TXXX description=text]... [--APIC picture.png]
Any ID3v2 tag already at the start of FILE is replaced. Standard library only.
"""
import argparse
import os
import struct
import sys

TEXT_FRAMES = ("TIT2", "TPE1", "TALB", "TYER", "TCOP", "TPUB", "TRCK", "TCON")


def syncsafe(n):
    if n >= 1 << 28:
        raise ValueError("tag too large for a syncsafe size")
    return bytes(((n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F))


def frame(frame_id, body):
    # v2.3 frame sizes are plain big-endian, unlike the syncsafe tag size.
    return frame_id.encode("ascii") + struct.pack(">I", len(body)) + b"\x00\x00" + body


def text_body(text):
    try:
        return b"\x00" + text.encode("latin-1")
    except UnicodeEncodeError:
        return b"\x01" + text.encode("utf-16")  # Python writes the byte order mark


def picture_body(path):
    with open(path, "rb") as f:
        data = f.read()
    mime = b"image/png" if data.startswith(b"\x89PNG") else b"image/jpeg"
    return b"\x00" + mime + b"\x00" + b"\x03" + b"Cover\x00" + data  # 3 = front cover


def strip_tag(data):
    if len(data) >= 10 and data[:3] == b"ID3":
        size = 0
        for b in data[6:10]:
            size = (size << 7) | (b & 0x7F)
        footer = 10 if data[5] & 0x10 else 0
        return data[10 + size + footer:]
    return data


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    for frame_id in TEXT_FRAMES:
        parser.add_argument("--" + frame_id)
    parser.add_argument("--TXXX", action="append", default=[], metavar="DESCRIPTION=TEXT")
    parser.add_argument("--APIC", metavar="PICTURE")
    parser.add_argument("--padding", type=int, default=256)
    args = parser.parse_args()

    frames = b""
    for frame_id in TEXT_FRAMES:
        value = getattr(args, frame_id)
        if value is not None:
            frames += frame(frame_id, text_body(value))
    for pair in args.TXXX:
        description, _, value = pair.partition("=")
        # One encoding byte for both strings, the description terminated.
        frames += frame("TXXX", b"\x00" + description.encode("latin-1") + b"\x00" + value.encode("latin-1"))
    if args.APIC:
        frames += frame("APIC", picture_body(args.APIC))
    frames += b"\x00" * max(args.padding, 0)

    with open(args.file, "rb") as f:
        audio = strip_tag(f.read())
    header = b"ID3\x03\x00\x00" + syncsafe(len(frames))
    tmp = args.file + ".tmp"
    with open(tmp, "wb") as f:
        f.write(header + frames + audio)
    os.replace(tmp, args.file)
    return 0


if __name__ == "__main__":
    sys.exit(main())
