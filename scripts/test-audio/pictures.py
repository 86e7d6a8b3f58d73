# scripts/make-test-audio: the cover pictures, written before any format
# needs them (the arguments: the folder to write them into).
import hashlib, os, struct, sys, zlib

def sha_stream(seed, n):
    out = bytearray()
    counter = 0
    while len(out) < n:
        out += hashlib.sha256(b"%s:%d" % (seed, counter)).digest()
        counter += 1
    return bytes(out[:n])

def png(width, height, pixels):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    row = width * 3
    raw = b"".join(b"\0" + pixels[y * row:(y + 1) * row] for y in range(height))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

pictures = {
    "small": png(2, 2, bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255])),
    "large": png(128, 128, sha_stream(b"cover", 128 * 128 * 3)),
    "huge": png(160, 160, sha_stream(b"huge-cover", 160 * 160 * 3)),
}
assert len(pictures["huge"]) > 0xFFFF
for name, data in pictures.items():
    with open(os.path.join(sys.argv[1], name + ".png"), "wb") as f:
        f.write(data)
