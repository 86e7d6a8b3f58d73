# Part of the manifest program of scripts/make-test-audio, which runs its
# parts as one program, in the order it names them: the import's rules, and the
# values of MPEG streams.

# ------------------------------------------------------------ import rules
#
# The row values the import has to store, derived from what was written.

def trim(s):
    i, j = 0, len(s)
    while i < j and ord(s[i]) <= 0x20:
        i += 1
    while j > i and ord(s[j - 1]) <= 0x20:
        j -= 1
    return s[i:j]


def repair_utf8(s):
    raw = s.encode("cp1252", errors="replace")
    if any(b >= 0x80 for b in raw):
        try:
            return raw.decode("utf-8")
        except UnicodeDecodeError:
            pass
    return s


def clean(s):
    # The cleaning every stored text gets on this platform (POSIX): quotes
    # survive (doubled only inside the SQL text), the virtual path's
    # delimiter "/" becomes a backslash and a colon an underscore.
    return s.replace("/", "\\").replace(":", "_")


def prepare(s):
    return trim(clean(repair_utf8(s)))


INTEGER_COLUMNS = ("year", "trackno", "length", "bitrate", "samplerate", "filesize", "channelsmode",
                   "mpegversion", "mpeglayer", "hasimage", "rating", "favorite")


def stored(expected):
    """Values as the table stores them: an integer column turns a text that
    is a whole decimal number into that number ("01" is stored as 1)."""
    for key in INTEGER_COLUMNS:
        value = expected.get(key)
        if isinstance(value, str) and re.fullmatch(r"[+-]?[0-9]+", value) and abs(int(value)) < 2 ** 63:
            expected[key] = str(int(value))
    return expected


def resolve_genre(text):
    t = trim(text)
    if not t:
        return text
    if t.startswith("(") and t.endswith(")"):
        code = t[1:-1]
    elif t.startswith("("):
        code = t[1:t.index(")")] if ")" in t else ""
    else:
        code = ""
    n = int(code) if code.isdigit() and code.isascii() else -1
    if 0 <= n <= 191:
        return GENRES[n]
    return text


def reader_text(fr):
    """The text a reader decodes from a frame that was written from fr."""
    if fr["enc"] == "latin1-utf8":
        return fr["text"].encode("utf-8").decode("cp1252")
    return fr["text"]


def v1_reader_text(v1, name):
    text = v1.get(name, "")
    if name in v1.get("utf8_fields", []):
        text = text.encode("utf-8").decode("cp1252")
    return trim(text)


def v1_genre(code):
    if code <= 191:
        return GENRES[code]
    return "" if code == 255 else str(code)


def base_name(path):
    name = os.path.basename(path)
    if "." in name:
        name = name[:name.rindex(".")]
    return name.replace("_", " ")


def name_fallbacks(f, path):
    """Empty artist, title and album as the import fills them: from an
    "Artist - Title" file name, and "Music"."""
    name = base_name(path)
    if not trim(f["artist"]):
        f["artist"] = clean(name.split(" - ", 1)[0]) if " - " in name else ""
    if not trim(f["title"]):
        f["title"] = clean(name.split(" - ", 1)[1]) if " - " in name else ""
    if not trim(f["album"]):
        f["album"] = "Music"
    return f

def expect_tags(path, size, tagset):
    f = dict.fromkeys(["artist", "title", "album", "year", "genre", "comment",
                       "trackno", "hasimage", "filesize"], "")
    v2 = tagset.get("id3v2") if tagset else None
    v1 = tagset.get("id3v1") if tagset else None
    if v2:
        frames = v2["frames"]

        def first(fid, pred=lambda fr: True):
            for fr in frames:
                if fr["id"] == fid and pred(fr):
                    return reader_text(fr)
            return ""

        f["artist"] = prepare(first("TPE1"))
        f["title"] = prepare(first("TIT2"))
        f["album"] = prepare(first("TALB"))
        f["year"] = prepare(first("TYER"))
        if not trim(f["year"]):
            f["year"] = prepare(first("TDRC"))
        f["genre"] = resolve_genre(prepare(first("TCON")))
        f["trackno"] = prepare(first("TRCK"))
        comment = first("COMM")
        if not comment:
            comment = first("TXXX", lambda fr: fr["desc"].lower() == "comment")
        f["comment"] = prepare(comment)
        f["hasimage"] = "1" if any(fr["id"] == "APIC" for fr in frames) else "0"
        f["filesize"] = str(size)
    if v1:
        for k in ("artist", "title", "album", "year", "comment"):
            if f[k] == "":
                f[k] = prepare(v1_reader_text(v1, k))
        if f["genre"] == "":
            f["genre"] = prepare(v1_genre(v1["genre"]))
        if f["trackno"] == "":
            f["trackno"] = str(v1["track"]) if v1["rev"] == 1 else "0"
        if f["filesize"] == "":
            f["filesize"] = str(size)
    return name_fallbacks(f, path)

# ------------------------------------------------------------ MPEG stream values

MODES = {"stereo": 0, "joint": 1, "dual": 2, "mono": 3}
VERSION_OF_RATE = {44100: "1", 48000: "1", 32000: "1", 22050: "2", 24000: "2",
                   16000: "2", 11025: "25", 12000: "25", 8000: "25"}


def mpeg_stream(rec, trailing):
    rate = int(rec["rate"])
    layer = int(rec["layer"])
    version = VERSION_OF_RATE[rate]
    spf = 384 if layer == 1 else 1152 if layer == 2 or version == "1" else 576
    cbr = not rec["bitrate"].startswith("V")
    secs = float(rec["seconds"])
    # encoder delay and padding (up to about three frames), one header frame,
    # and for CBR the bytes of a trailing tag, which the byte count includes
    tol = 0.05 + 4 * spf / rate
    if cbr:
        tol += trailing * 8 / (int(rec["bitrate"]) * 1000)
    stream = {
        "mpeg_version": version, "layer": layer, "mode": MODES[rec["mode"]],
        "mode_name": rec["mode"], "channels": 1 if rec["mode"] == "mono" else 2,
        "sample_rate": rate, "bitrate_mode": "cbr" if cbr else "vbr",
        "bitrate": int(rec["bitrate"]) if cbr else None,
        "vbr_quality": None if cbr else rec["bitrate"],
        "header_frame": rec["header"], "seconds": secs,
        "duration_tolerance": round(tol, 3),
    }
    expected = {
        "channelsmode": str(MODES[rec["mode"]]), "mpegversion": version,
        "mpeglayer": str(layer), "samplerate": str(rate),
        "bitrate": str(stream["bitrate"]) if cbr else None,
        "duration": secs, "duration_tolerance": stream["duration_tolerance"],
        "filetype": 0,
    }
    return stream, expected


def manifest_tags(tagset):
    out = {}
    if tagset.get("id3v2"):
        v2 = tagset["id3v2"]
        frames = []
        for fr in v2["frames"]:
            e = {k: v for k, v in fr.items() if k not in ("enc", "picture")}
            if fr["enc"] is not None:
                e["encoding"] = ENCODING_CODE[fr["enc"]]
                if fr["enc"] == "latin1":
                    e["bytes"] = "windows-1252"
                elif fr["enc"] == "latin1-utf8":
                    e["bytes"] = "utf-8"
            if "picture" in fr:
                e["picture_bytes"] = len(PICTURES[fr["picture"]])
            frames.append(e)
        out["id3v2"] = {"version": "2.%d" % v2["version"], "frames": frames}
    if tagset.get("id3v1"):
        v1 = dict(tagset["id3v1"])
        v1["version"] = "1.1" if v1.pop("rev") == 1 else "1.0"
        v1.setdefault("pad", "\0")
        v1["pad"] = "zero" if v1["pad"] == "\0" else "space"
        out["id3v1"] = v1
    for k in ("writer", "asked", "note"):
        if k in tagset:
            out[k] = tagset[k]
    out.setdefault("writer", "mutagen %s" % mutagen.version_string
                   + (" (ID3v1 by make-test-audio)" if "id3v1" in out else ""))
    return out
