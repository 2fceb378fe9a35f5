#!/usr/bin/env python3
"""The README's pictures of the bundled scenes: each scene two seconds in, as the capture
tool draws it (no clock), written to docs/scene<K>.png, and a contact sheet of all of them
at half size, docs/scenes.png.

    tools/scene_sheet.py [BUILD_DIR] [DOCS_DIR]      (defaults: build, docs)

Only the standard library: the capture tool's PNG frames (8-bit RGB or RGBA) are read and
the sheet written with zlib.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

COLUMNS = 4
GAP = 8
BACKDROP = (24, 26, 30)


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise SystemExit(f"{path}: only 8-bit RGB or RGBA, not interlaced")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, cur = line[0], bytearray(line[1:])
        for i in range(stride):
            a = cur[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                cur[i] = (cur[i] + a) & 255
            elif kind == 2:
                cur[i] = (cur[i] + b) & 255
            elif kind == 3:
                cur[i] = (cur[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                cur[i] = (cur[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(cur[x * channels + k] for x in range(width) for k in range(3)))
        prev = cur
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def half(width, height, rows):
    out = []
    for y in range(0, height - 1, 2):
        a, b = rows[y], rows[y + 1]
        line = bytearray()
        for x in range(0, width - 1, 2):
            for k in range(3):
                i, j = x * 3 + k, x * 3 + 3 + k
                line.append((a[i] + a[j] + b[i] + b[j] + 2) // 4)
        out.append(bytes(line))
    return width // 2, height // 2, out


def scene_count(share):
    with open(os.path.join(share, "registry.reg"), encoding="utf-8") as f:
        for line in f:
            if line.startswith('"settingsex"=hex:'):
                return int(line.split(":")[1][:2], 16)
    raise SystemExit("registry.reg has no settingsex value")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    docs = sys.argv[2] if len(sys.argv) > 2 else "docs"
    tool = os.path.join(build, "bin", "quiet-highland-render")
    count = scene_count(os.path.join(build, "share", "quiet-highland"))
    tiles = []
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_CONFIG_DIRS="/nonexistent")
        for k in range(count):
            frame = os.path.join(work, f"scene{k}.png")
            # 120 frames of 16 ms: two seconds into the scene.
            subprocess.run([tool, "--frames", "120", "--start-scene", str(k + 1), "--no-clock", "--png", frame],
                           env=env, check=True, stdout=subprocess.DEVNULL)
            shutil.copyfile(frame, os.path.join(docs, f"scene{k}.png"))
            tiles.append(half(*read_png(frame)))
    tw, th = tiles[0][0], tiles[0][1]
    rows_of_tiles = (len(tiles) + COLUMNS - 1) // COLUMNS
    width, height = COLUMNS * tw + (COLUMNS + 1) * GAP, rows_of_tiles * th + (rows_of_tiles + 1) * GAP
    back = bytes(BACKDROP) * width
    sheet = [bytearray(back) for _ in range(height)]
    for n, (_, _, rows) in enumerate(tiles):
        x0 = GAP + (n % COLUMNS) * (tw + GAP)
        y0 = GAP + (n // COLUMNS) * (th + GAP)
        for y, row in enumerate(rows):
            sheet[y0 + y][x0 * 3:(x0 + tw) * 3] = row
    write_png(os.path.join(docs, "scenes.png"), width, height, [bytes(r) for r in sheet])
    print(f"wrote {count} scenes and the contact sheet to {docs}")


if __name__ == "__main__":
    main()
