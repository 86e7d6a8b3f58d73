# Part of the manifest program of scripts/make-test-audio, which runs its
# parts as one program, in the order it names them: the writers of those tag
# sets, and the tags the tools write themselves.

GENRES = {0: "Blues", 8: "Jazz", 13: "Pop", 17: "Rock", 26: "Ambient", 52: "Electronic",
          80: "Folk", 186: "Podcast"}   # the ones this corpus uses
ENCODING_CODE = {"latin1": 0, "latin1-utf8": 0, "utf-16": 1, "utf-16be": 2, "utf-8": 3}
CP1252_HOLES = {0x81, 0x8D, 0x8F, 0x90, 0x9D}


def check_text(text, enc):
    """Refuse texts whose expected value would depend on a guess."""
    if enc == "latin1-utf8":
        if set(text.encode("utf-8")) & CP1252_HOLES:
            raise SystemExit("text %r has UTF-8 bytes that Windows-1252 does not map" % text)
        return
    raw = text.encode("cp1252", errors="replace")
    if any(b >= 0x80 for b in raw):
        try:
            raw.decode("utf-8")
        except UnicodeDecodeError:
            return
        raise SystemExit("text %r reads as UTF-8 in Windows-1252; pick another" % text)


def mutagen_text(text, enc):
    check_text(text, enc)
    if enc == "latin1":
        return text.encode("cp1252").decode("latin-1")
    if enc == "latin1-utf8":
        return text.encode("utf-8").decode("latin-1")
    return text


def make_frame(fr):
    enc = ENCODING_CODE[fr["enc"]]
    conv = lambda s: mutagen_text(s, fr["enc"])
    if fr["id"] == "COMM":
        return id3.COMM(encoding=enc, lang=fr["lang"], desc=conv(fr["desc"]), text=[conv(fr["text"])])
    if fr["id"] == "TXXX":
        return id3.TXXX(encoding=enc, desc=conv(fr["desc"]), text=[conv(fr["text"])])
    if fr["id"] == "APIC":
        return id3.APIC(encoding=enc, mime=fr["mime"], type=fr["type"], desc=conv(fr["desc"]),
                        data=PICTURES[fr["picture"]])
    return getattr(id3, fr["id"])(encoding=enc, text=[conv(fr["text"])])


def id3v1_bytes(v1):
    pad = v1.get("pad", "\0").encode("ascii")

    def field(name, n):
        text = v1.get(name, "")
        if name in v1.get("utf8_fields", []):
            check_text(text, "latin1-utf8")
            raw = text.encode("utf-8")
        else:
            check_text(text, "latin1")
            raw = text.encode("cp1252")
        if len(raw) > n:
            raise SystemExit("ID3v1 %s %r is longer than %d bytes" % (name, text, n))
        return raw + pad * (n - len(raw))

    out = b"TAG" + field("title", 30) + field("artist", 30) + field("album", 30) + field("year", 4)
    if v1["rev"] == 1:
        out += field("comment", 28) + b"\0" + bytes([v1["track"]])
    else:
        out += field("comment", 30)
    out += bytes([v1["genre"]])
    assert len(out) == 128
    return out


def picture_block(p):
    """A FLAC PICTURE block for PIC p (also the body behind METADATA_BLOCK_PICTURE)."""
    pic = flac.Picture()
    pic.type = p["type"]
    pic.mime = p["mime"]
    pic.desc = p["desc"]
    pic.width = pic.height = PICTURE_SIZES[p["picture"]]
    pic.depth = 24
    pic.data = PICTURES[p["picture"]]
    return pic


def wm_picture(p):
    """The value of an ASF WM/Picture attribute: type, size, MIME and description
    as zero-terminated UTF-16LE, then the picture."""
    data = PICTURES[p["picture"]]
    return (bytes([p["type"]]) + struct.pack("<I", len(data))
            + (p["mime"] + "\0").encode("utf-16-le") + (p["desc"] + "\0").encode("utf-16-le")
            + data)


def vorbis_value(value):
    if isinstance(value, dict):
        return base64.b64encode(picture_block(value).write()).decode("ascii")
    check_text(value, "utf-8")
    return value


def apply_vorbis(path, tagset):
    comments = [(name, vorbis_value(value)) for name, value in tagset["vorbis"]]
    if path.endswith(".flac"):
        f = flac.FLAC(path)
        f.tags.clear()
        f.tags.extend(comments)
        f.clear_pictures()
        for p in tagset.get("pictures", []):
            f.add_picture(picture_block(p))
        if "order" in tagset:
            names = {0: "STREAMINFO", 1: "PADDING", 4: "VORBIS_COMMENT", 6: "PICTURE"}
            rank = {n: i for i, n in enumerate(tagset["order"])}
            f.metadata_blocks.sort(key=lambda b: rank[names[b.code]])
        padding = tagset["padding"]
        f.save(padding=lambda info: padding)
    else:
        with open(path, "rb") as raw:
            opus = b"OpusHead" in raw.read(64)
        f = oggopus.OggOpus(path) if opus else oggvorbis.OggVorbis(path)
        f.tags.clear()
        f.tags.extend(comments)
        f.save(padding=lambda info: 0)


def apply_mp4(path, tagset):
    f = mp4.MP4(path)
    if f.tags is None:
        f.add_tags()
    f.tags.clear()
    for item in tagset["mp4"]:
        name = item["name"]
        if "text" in item:
            for t in item["text"]:
                check_text(t, "utf-8")
            f.tags[name] = item["text"]
        elif "track" in item:
            f.tags[name] = [tuple(item["track"])]
        elif "picture" in item:
            f.tags[name] = [mp4.MP4Cover(PICTURES[item["picture"]], mp4.MP4Cover.FORMAT_PNG)]
        else:
            f.tags[name] = [mp4.MP4FreeForm(item["freeform"].encode("utf-8"))]
    f.save(padding=lambda info: 128)


ASF_TYPES = {"unicode": asf.ASFUnicodeAttribute, "dword": asf.ASFDWordAttribute,
             "qword": asf.ASFQWordAttribute, "word": asf.ASFWordAttribute,
             "bool": asf.ASFBoolAttribute, "picture": asf.ASFByteArrayAttribute}


def asf_value(attr):
    if attr["type"] == "picture":
        return wm_picture(attr["value"])
    if attr["type"] == "unicode":
        check_text(attr["value"], "utf-16")
    return attr["value"]


def apply_asf(path, tagset):
    f = asf.ASF(path)
    f.tags.clear()
    for attr in tagset["asf"]:
        value = ASF_TYPES[attr["type"]](asf_value(attr), stream=attr.get("stream"))
        f.tags.append((attr["name"], value))
    f.save(padding=lambda info: 64)


def apply_tagset(path, tagset):
    if "mp4" in tagset:
        apply_mp4(path, tagset)
    if "vorbis" in tagset:
        apply_vorbis(path, tagset)
    if "asf" in tagset:
        apply_asf(path, tagset)
    v2 = tagset.get("id3v2")
    if v2:
        frames = [make_frame(fr) for fr in v2["frames"]]
        if path.endswith(".wav"):
            f = mutagen.wave.WAVE(path)
        elif path.endswith(".aiff"):
            f = mutagen.aiff.AIFF(path)
        else:
            f = None
        if f is not None:
            f.add_tags()
            for fr in frames:
                f.tags.add(fr)
            f.save(v2_version=v2["version"], padding=lambda info: 64)
        else:
            tags = id3.ID3()
            for fr in frames:
                tags.add(fr)
            tags.save(path, v1=0, v2_version=v2["version"], padding=lambda info: 256)
    if tagset.get("id3v1"):
        with open(path, "ab") as f:
            f.write(id3v1_bytes(tagset["id3v1"]))

# ------------------------------------------------------------ tool-written tags
#
# What lame, ffmpeg and id3lib were asked to write, as the frames they write
# it into (only the frames the import reads; their encodings are the tools'
# choice and not stated).

def tool_tagset(rec):
    asked = {k[6:]: v for k, v in rec.items() if k.startswith("asked.")}
    tool = rec["tagger"]
    out = {"asked": asked, "writer": tool}
    fmt = rec["format"]
    if fmt == "mp4":
        out["mp4"] = ffmpeg_mp4_items(asked)
        if "atomicparsley.genre" in rec:
            # AtomicParsley drops the text genre and writes gnre = genre number + 1
            genre = rec["atomicparsley.genre"]
            out["mp4"] = [i for i in out["mp4"] if i["name"] != "©gen"]
            out["mp4"].append({"name": "gnre", "genre_code": GENRE_CODE[genre] + 1})
            out["writer"] = "ffmpeg; AtomicParsley --genre %s" % genre
        return out
    if fmt == "wma":
        out["asf"] = ffmpeg_asf_attributes(asked)
        return out
    if fmt == "flac":
        out["vorbis"] = [[k, v] for k, v in asked.items()]
        # ffmpeg writes WAVE_FORMAT_EXTENSIBLE for more than 2 channels or more
        # than 16 bits, and flac keeps its channel mask as a comment
        mask = {1: 0x4, 2: 0x3, 4: 0x33, 6: 0x3F}[int(rec["channels"])]
        if int(rec["channels"]) > 2 or int(rec["bits"]) > 16:
            out["vorbis"].append(["WAVEFORMATEXTENSIBLE_CHANNEL_MASK", "0x%04X" % mask])
        if "picture" in rec:
            name, ptype, mime, desc = rec["picture"].split(":")
            out["pictures"] = [PIC(name, int(ptype), mime, desc)]
        return out
    if fmt == "opus":
        # as written, read back from the file (or the file it was cut from)
        f = oggopus.OggOpus(os.path.join(OUT, rec.get("source", rec["path"])))
        out["vorbis"] = [[k, v] for k, v in f.tags]
        return out
    if fmt == "ogg":
        if tool == "ffmpeg":
            names = {"track": "TRACKNUMBER", "comment": "DESCRIPTION"}
            out["vorbis"] = [["encoder", "Lavc libvorbis"]] + [
                [names.get(k, k), v] for k, v in asked.items()]
        else:
            # oggenc writes the -c comments first, then those of its own options
            own = ["title", "artist", "genre", "date", "album", "tracknumber"]
            out["vorbis"] = ([[k, v] for k, v in asked.items() if k not in own]
                             + [[k, asked[k]] for k in own if k in asked])
        return out
    if "id3v2" in rec:
        v24 = rec["id3v2"] == "2.4"
        frames = [T("TPE1", None, asked["artist"]), T("TIT2", None, asked["title"]),
                  T("TALB", None, asked["album"]),
                  T("TDRC" if v24 else "TYER", None, asked["year"]),
                  T("TCON", None, "(%s)" % asked["genre"] if tool == "id3lib" else asked["genre"]),
                  T("TRCK", None, asked["track"])]
        if tool == "ffmpeg":
            frames.append(TXXX(None, "comment", asked["comment"]))
        else:
            frames.append(COMM(None, "" if tool == "id3lib" else "eng", "", asked["comment"]))
        out["id3v2"] = {"version": int(rec["id3v2"][2]), "frames": frames}
    if "id3v1" in rec:
        genre = asked["genre"]
        genre_code = int(genre) if genre.isdigit() else {v: k for k, v in GENRES.items()}[genre]
        v1 = {"rev": 1, "track": int(asked["track"].split("/")[0]), "genre": genre_code}
        if tool == "ffmpeg":
            # ffmpeg copies the UTF-8 bytes of its metadata into ID3v1
            v1["utf8_fields"] = ["title", "artist", "album", "comment"]
        for k in ("title", "artist", "album", "year", "comment"):
            v1[k] = asked[k]
        out["id3v1"] = v1
    return out


# What ffmpeg makes of its metadata keys in MP4 and ASF files.

FFMPEG_MP4 = {"title": "©nam", "artist": "©ART", "album": "©alb", "date": "©day",
              "comment": "©cmt", "genre": "©gen"}


def ffmpeg_mp4_items(asked):
    items = []
    for k, v in asked.items():
        if k == "track":
            track, _, total = v.partition("/")
            items.append(TRKN(int(track), int(total or 0)))
        else:
            items.append(ITEM(FFMPEG_MP4[k], v))
    return items


FFMPEG_ASF = {"title": "title", "artist": "Author", "album": "WM/AlbumTitle", "date": "date",
              "genre": "WM/Genre", "track": "WM/TrackNumber", "comment": "Description"}


def ffmpeg_asf_attributes(asked):
    """ffmpeg puts title and artist into the Content Description object as Title and
    Author, and every key, those two included, into the Extended Content
    Description object as a string (the comment as Description, the date as "date")."""
    attrs = []
    for k, name in (("title", "Title"), ("artist", "Author")):
        if k in asked:
            attrs.append(dict(A(name, "unicode", asked[k]), object=CONTENT))
    for k, v in asked.items():
        attrs.append(dict(A(FFMPEG_ASF.get(k, k), "unicode", v), object=EXTENDED))
    return attrs
