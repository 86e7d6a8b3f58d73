# Part of the manifest program of scripts/make-test-audio, which runs its
# parts as one program, in the order it names them: the values of MP4, FLAC, Ogg
# and WMA files.

# ------------------------------------------------------------ MP4, FLAC, Ogg and WMA values

GENRE_CODE = {v: k for k, v in GENRES.items()}

CONTENT, EXTENDED = "content-description", "extended-content-description"
METADATA, LIBRARY = "metadata", "metadata-library"
ASF_OBJECTS = [CONTENT, EXTENDED, METADATA, LIBRARY]
CONTENT_NAMES = ["Title", "Author", "Copyright", "Description", "Rating"]


def asf_data_size(a):
    if a["type"] == "unicode":
        return len(a["value"].encode("utf-16-le")) + 2
    if a["type"] == "picture":
        return len(wm_picture(a["value"]))
    return {"dword": 4, "qword": 8, "word": 2, "bool": 4}[a["type"]]


def asf_placed(attrs):
    """The attributes with the object each lies in: as given for tool-written ones,
    else by mutagen's rules (over 64 KiB: Metadata Library; a stream number:
    Metadata; the five names of the Content Description object as text: there;
    anything else: Extended Content Description; a second attribute of the same
    name: Metadata Library)."""
    out, seen = [], {CONTENT: set(), EXTENDED: set(), METADATA: set()}
    for a in attrs:
        if "object" not in a:
            name = a["name"]
            if asf_data_size(a) > 0xFFFF:
                obj = LIBRARY
            elif "stream" in a:
                obj = METADATA
            elif name in CONTENT_NAMES:
                obj = CONTENT if a["type"] == "unicode" else LIBRARY
            else:
                obj = EXTENDED
            if obj != LIBRARY and name in seen[obj]:
                obj = LIBRARY
            if obj != LIBRARY:
                seen[obj].add(name)
            a = dict(a, object=obj)
        out.append(a)
    return out


def asf_text(a):
    """The text the import reads from an attribute: strings without their zero
    units, numbers in decimal, byte arrays as 0."""
    if a["type"] == "unicode":
        return a["value"].replace("\0", "")
    if a["type"] == "bool":
        return "1" if a["value"] else "0"
    if a["type"] in ("dword", "qword", "word"):
        return str(a["value"])
    return "0"


def flac_text(value):
    # bytes below 32 other than CR and LF read as spaces
    return "".join(" " if ord(c) < 32 and c not in "\r\n" else c for c in value)


def expect_fields(rec, size, tagset):
    """Tag fields, has-image and file size for MP4, FLAC, Ogg and WMA files."""
    fmt = rec["format"]
    f = dict.fromkeys(["artist", "title", "album", "year", "genre", "comment",
                       "trackno", "hasimage"], "")
    if fmt in ("flac", "ogg", "opus"):
        comments = tagset.get("vorbis", [])

        def get(name):
            for n, v in comments:
                if n.upper() == name and isinstance(v, str):
                    return flac_text(v) if fmt == "flac" else v
            return ""

        # a FLAC file whose only block is STREAMINFO gives the tag reader nothing
        if rec.get("blocks") != "STREAMINFO":
            for field, name in (("artist", "ARTIST"), ("title", "TITLE"), ("album", "ALBUM"),
                                ("year", "DATE" if fmt == "flac" else "YEAR"),
                                ("genre", "GENRE"), ("comment", "COMMENT"),
                                ("trackno", "TRACKNUMBER")):
                f[field] = prepare(get(name))
            if fmt == "flac":
                f["hasimage"] = "1" if tagset.get("pictures") else "0"
            else:
                f["hasimage"] = "1" if any(
                    n.upper() == "METADATA_BLOCK_PICTURE" for n, _ in comments) else "0"
    elif fmt == "wma":
        attrs = sorted(asf_placed(tagset.get("asf", [])), key=lambda a: ASF_OBJECTS.index(a["object"]))

        def get(name):
            for a in attrs:
                if a["name"].upper() == name.upper():
                    return asf_text(a)
            return ""

        for field, name in (("artist", "Author"), ("title", "Title"), ("album", "WM/AlbumTitle"),
                            ("year", "WM/Year"), ("genre", "WM/Genre"),
                            ("comment", "Description"), ("trackno", "WM/TrackNumber")):
            f[field] = prepare(get(name))
        f["hasimage"] = "1" if any(a["name"] == "WM/Picture" for a in attrs) else "0"
    elif fmt == "mp4":
        # A file without items is still a track: only its texts are empty.
        items = tagset.get("mp4", [])

        def find(name):
            return next((i for i in items if i["name"] == name), None)

        def text(name):
            item = find(name)
            if item is None:
                return ""
            if "text" not in item:
                raise SystemExit("%s: %s is not a text item" % (rec["path"], name))
            return item["text"][0]

        for field, name in (("title", "©nam"), ("artist", "©ART"), ("album", "©alb"),
                            ("year", "©day"), ("comment", "©cmt")):
            f[field] = prepare(text(name))
        trkn = find("trkn")
        f["trackno"] = str(trkn["track"][0] & 0xFFFF if trkn else 0)
        gnre = find("gnre")
        code = gnre["genre_code"] if gnre else 0
        f["genre"] = prepare(GENRES[code - 1] if 1 <= code <= 192 else text("©gen"))
        f["hasimage"] = "1" if find("covr") else ""
    f["filesize"] = str(size)
    return name_fallbacks(f, rec["path"])


FORMAT_CODE = {"mp3": 0, "flac": 1, "ogg": 2, "wma": 3, "mp4": 4, "opus": 5}


def stream_values(rec, size):
    """What the encoder was asked for, and the stream columns the import stores."""
    fmt, codec = rec["format"], rec["codec"]
    rate, ch, secs = int(rec["rate"]), int(rec["channels"]), fractions.Fraction(rec["seconds"])
    stream = {"codec": codec, "channels": ch, "sample_rate": rate, "seconds": float(secs)}
    expected = {"samplerate": str(rate), "mpegversion": "0", "mpeglayer": "0",
                "channelsmode": str(ch), "duration": float(secs), "duration_tolerance": 0.001,
                "filetype": FORMAT_CODE[fmt]}
    if fmt == "flac":
        stream["bits_per_sample"] = int(rec["bits"])
        expected["channelsmode"] = {1: "Mono", 2: "Stereo"}.get(ch, "Multi Channel")
        expected["bitrate"] = None    # from the bytes after the metadata blocks
    elif fmt == "opus":
        # Opus runs at 48 kHz whatever the input's rate; the last granule less
        # the pre-skip is the exact sample count
        stream.update(input_sample_rate=int(rec.get("input_rate", rate)),
                      bitrate=int(rec["bitrate"]) if "bitrate" in rec else None,
                      serial=int(rec["serial"]) if "serial" in rec else None)
        expected["bitrate"] = str(round(fractions.Fraction(size) / secs / 125))
    elif fmt == "ogg":
        stream["quality"] = rec.get("quality")
        if "serial" in rec:
            stream["serial"] = int(rec["serial"])
        # the last granule position holds the exact sample count
        expected["bitrate"] = str(round(fractions.Fraction(size) / secs / 125))
    elif fmt == "wma":
        max_bitrate = int(rec["bitrate"]) * 1000
        stream.update(bitrate=int(rec["bitrate"]), max_bitrate=max_bitrate,
                      avg_bytes_per_second=max_bitrate // 8)
        # the length is estimated from the file size and the maximum bit rate
        expected["bitrate"] = str(max_bitrate // 8 * 8 // 1000)
        expected["duration"] = size * 8 / max_bitrate
    elif fmt == "mp4":
        # ffmpeg writes 2 channels into every AAC sample entry; ALAC's carries
        # the real count
        entry_channels = 2 if codec == "aac" else ch
        stream.update(bitrate=None if rec["bitrate"] == "-" else int(rec["bitrate"]),
                      sample_entry_channels=entry_channels)
        expected.update(channelsmode=str(entry_channels), mpegversion="", mpeglayer="",
                        bitrate=None, duration_tolerance=0.05)
    if expected["duration_tolerance"] < 0.01:
        expected["length"] = str(math.ceil(expected["duration"]))
    return stream, expected


def describe(value):
    """A tag set as the manifest shows it: pictures as their size."""
    if isinstance(value, dict):
        if isinstance(value.get("picture"), str):
            out = {k: v for k, v in value.items() if k != "picture"}
            out["picture_bytes"] = len(PICTURES[value["picture"]])
            return out
        return {k: describe(v) for k, v in value.items()}
    if isinstance(value, list):
        return [describe(v) for v in value]
    return value


# mutagen writes the ilst items in this order, anything else last
MUTAGEN_MP4_ORDER = ["©nam", "©ART", "©wrt", "©alb", "©gen", "gnre", "trkn", "disk", "©day",
                     "cpil", "pgap", "pcst", "tmpo", "©too", "----", "covr", "©lyr"]


def manifest_new_tags(rec, tagset):
    out = {}
    if "mp4" in tagset:
        items = tagset["mp4"]
        if "writer" not in tagset:
            rank = lambda i: (MUTAGEN_MP4_ORDER.index(i["name"][:4])
                              if i["name"][:4] in MUTAGEN_MP4_ORDER else len(MUTAGEN_MP4_ORDER))
            items = sorted(items, key=rank)
        out["mp4"] = describe(items)
    if "vorbis" in tagset:
        out["vorbis"] = describe(tagset["vorbis"])
        if "pictures" in tagset:
            out["pictures"] = describe(tagset["pictures"])
        if "padding" in tagset:
            out["padding"] = tagset["padding"]
    if "asf" in tagset:
        attrs = []
        for a in asf_placed(tagset["asf"]):
            d = describe(a)
            # the metadata objects hold a BOOL in 16 bits
            d["value_bytes"] = (2 if a["type"] == "bool" and a["object"] in (METADATA, LIBRARY)
                                else asf_data_size(a))
            attrs.append(d)
        out["asf"] = attrs
    return out
