#!/usr/bin/env python3
"""Consumes the WAV stream of ALSA's file plugin at its byte rate and appends the raw samples to
the file named by LUMETRA_CAPTURE, so the player under test is paced like a real sound card.

What the pipe holds is audio the player counts as played but nobody has heard yet. So the pipe is
shrunk to a page and read without a buffer of our own: the lag stays near 30 ms, as on a sound
card, and a stopped stream falls silent as soon. A full 64 KiB pipe would be a third of a second."""
import errno
import fcntl
import os
import struct
import sys
import time

F_SETPIPE_SZ = 1031


def read_exact(fd, count):
    data = b""
    while len(data) < count:
        chunk = os.read(fd, count - len(data))
        if not chunk:
            break
        data += chunk
    return data


def shrink_pipe(fd):
    """False while the pipe holds more than a page, which the player may have written before
    this process started. Any other refusal leaves the pipe as it is, and the pace starts anyway:
    a stream read at once for good would let the player run unpaced."""
    try:
        fcntl.fcntl(fd, F_SETPIPE_SZ, 4096)
    except OSError as error:
        return error.errno != errno.EBUSY
    return True


def main():
    stdin = sys.stdin.fileno()
    shrunk = shrink_pipe(stdin)
    out_path = os.environ.get("LUMETRA_CAPTURE", os.devnull)
    if read_exact(stdin, 12)[:4] != b"RIFF":
        return
    byte_rate = 176400
    while True:  # walk the chunks up to "data"
        head = read_exact(stdin, 8)
        if len(head) < 8:
            return
        tag, size = head[:4], struct.unpack("<I", head[4:])[0]
        if tag == b"data":
            break
        body = read_exact(stdin, size)
        if tag == b"fmt " and len(body) >= 12:
            byte_rate = struct.unpack("<I", body[8:12])[0] or byte_rate
    block = max(64, byte_rate // 100)  # 10 ms
    start = time.monotonic()
    consumed = 0
    with open(out_path, "ab", buffering=0) as out:
        while True:
            data = read_exact(stdin, block)
            if not data:
                break
            out.write(data)
            if not shrunk:
                # What the player wrote before we could shrink the pipe counts as heard already:
                # it is read at once, and the pace starts once the pipe is small.
                shrunk = shrink_pipe(stdin)
                start = time.monotonic()
                continue
            consumed += len(data)
            ahead = consumed / byte_rate - (time.monotonic() - start)
            if ahead > 0:
                time.sleep(ahead)


if __name__ == "__main__":
    try:
        main()
    except (BrokenPipeError, KeyboardInterrupt):
        pass
