# Part of the manifest program of scripts/make-test-audio, which runs its
# parts as one program, in the order it names them: builds the manifest.

# ------------------------------------------------------------ build the manifest

with open(os.path.join(WORK, "plan.jsonl"), encoding="utf-8") as f:
    plan = [json.loads(line) for line in f]
by_path = {r["path"]: r for r in plan}

# A copy of a base, or a cut of a corpus file, takes over its stream values
# (and a cut its tags too).
NOT_INHERITED = {"path", "section", "made_by", "note", "reject", "generate", "source",
                 "base", "bytes", "then"}
for rec in plan:
    if "base" in rec:
        parent = by_path[".work/base/" + (rec["base"] if "." in rec["base"]
                                          else rec["base"] + ".mp3")]
        rec["made_by"] = parent["made_by"] + ("; " + rec["made_by"] if "made_by" in rec else "")
    elif "source" in rec:
        parent = by_path[rec["source"]]
    else:
        continue
    for k, v in parent.items():
        if k not in NOT_INHERITED:
            rec.setdefault(k, v)

for rec in plan:
    if rec["section"] == "base":
        continue
    path = os.path.join(OUT, rec["path"])
    gen = rec.get("generate")
    if gen == "random":
        raw = sha_stream(b"random-bytes", 8192).replace(b"\xff", b"\xfe")
        with open(path, "wb") as f:
            f.write(raw)
    elif gen == "empty":
        open(path, "wb").close()
    elif gen == "truncate":
        with open(os.path.join(OUT, rec["source"]), "rb") as f:
            raw = f.read(int(rec["bytes"]))
        if len(raw) != int(rec["bytes"]):
            raise SystemExit("%s is shorter than %s bytes" % (rec["source"], rec["bytes"]))
        with open(path, "wb") as f:
            f.write(raw)
    if "tags" in rec and gen != "truncate":
        apply_tagset(path, TAGSETS[rec["tags"]])

IMPORTED = {"mp3", "flac", "ogg", "opus", "wma", "mp4"}
files = []
for rec in plan:
    if rec["section"] == "base":
        continue
    path = os.path.join(OUT, rec["path"])
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if "tags" in rec:
        tagset = dict(TAGSETS[rec["tags"]])
        if rec.get("generate") != "truncate":
            rec["made_by"] += "; tags: mutagen"
    elif "tagger" in rec:
        tagset = tool_tagset(rec)
    else:
        tagset = {}
    if "then" in rec:
        rec["made_by"] += "; " + rec["then"]
    accept = rec["format"] in IMPORTED and "reject" not in rec
    entry = {"path": rec["path"], "section": rec["section"], "format": rec["format"],
             "accept": accept, "size": size, "sha256": digest, "made_by": rec["made_by"]}
    for k in ("container", "tag_chunk", "source"):
        if k in rec:
            entry[k] = rec[k]
    if "layer" in rec:
        trailing = 128 if tagset.get("id3v1") else 0
        entry["stream"], stream_expect = mpeg_stream(rec, trailing)
    elif "codec" in rec:
        entry["stream"], stream_expect = stream_values(rec, size)
        if "blocks" in rec:
            entry["stream"]["blocks"] = rec["blocks"].split(",")
        elif rec["format"] == "flac" and "tags" in rec and "vorbis" in tagset:
            # mutagen writes the blocks in this order and always ends with PADDING
            pictures = ["PICTURE"] * len(tagset.get("pictures", []))
            entry["stream"]["blocks"] = tagset.get(
                "order", ["STREAMINFO", "VORBIS_COMMENT"] + pictures + ["PADDING"])
    if not tagset:
        entry["tags"] = {}
    elif rec["format"] in ("mp3", "mp2", "wav", "aiff") or "id3v2" in tagset:
        entry["tags"] = manifest_tags(tagset)
    else:
        entry["tags"] = manifest_new_tags(rec, tagset)
        for k in ("writer", "asked", "note"):
            if k in tagset:
                entry["tags"][k] = tagset[k]
        entry["tags"].setdefault("writer", "mutagen %s" % mutagen.version_string)
    if accept:
        if rec["format"] == "mp3":
            expected = expect_tags(rec["path"], size, tagset)
        else:
            expected = expect_fields(rec, size, tagset)
        expected.update(stream_expect)
        entry["expected"] = stored(expected)
    if "note" in rec:
        entry["note"] = rec["note"]
    files.append(entry)

manifest = {
    "generator": {"name": "make-test-audio", "version": VERSION, "script_sha256": SCRIPT_SHA},
    "tools": TOOLS.splitlines() + ["mutagen %s" % mutagen.version_string],
    "about": {
        "path": "relative to the folder holding this manifest, '/'-separated, UTF-8",
        "format": "mp3, mp4 (.m4a, .m4b, .m4r), flac, ogg (Vorbis: .ogg, .oga), opus (.opus, "
                  ".oga), wma; mp2, wav and aiff are never "
                  "imported",
        "accept": "true when the import must record the file; false when it must refuse it "
                  "(its reader does not take it, or an extension the import does not take)",
        "source": "for a file cut from another corpus file: that file",
        "stream": "what the encoder was asked for. MPEG: mode is the MPEG mode code of the first "
                  "frame (0 stereo, 1 joint, 2 dual, 3 mono); header_frame is Info, Xing or none; "
                  "bitrate is the nominal CBR rate (null for VBR). Others: codec, channels, "
                  "sample_rate, bits_per_sample (FLAC), blocks (FLAC metadata blocks in file "
                  "order, as flac or mutagen write them), quality and serial (Ogg), bitrate, "
                  "input_sample_rate and serial (Opus, whose sample_rate is always 48000), bitrate in "
                  "kbit/s with max_bitrate and avg_bytes_per_second as ffmpeg's ASF muxer "
                  "writes them (WMA), bitrate (null for ALAC) and sample_entry_channels, the "
                  "channel count ffmpeg writes into the MP4 sample entry (MP4). seconds is the "
                  "tone's length",
        "tags": "what was written: ID3v2 frames in the order given to the tagger (mutagen "
                "reorders them: TIT2, TPE1, TRCK, TALB, TPOS, TDRC, TCON first), encoding codes "
                "of ID3v2, and ID3v1 fields with genre byte and track; tool-written tags list "
                "the values asked of the tool and the frames it puts them in, without encodings. "
                "mp4: ilst items in file order (text with one value per data atom, trkn "
                "[track, total], gnre genre_code, covr, free-form '----:mean:name'); vorbis: "
                "comments [name, value] in file order (FLAC Vorbis comments or the Ogg comment "
                "header), a METADATA_BLOCK_PICTURE value being the base64 of a FLAC PICTURE "
                "block; pictures: FLAC PICTURE blocks; asf: attributes, in file order within "
                "each header object, with ASF type (unicode, dword, qword, word, bool, picture "
                "= a WM/Picture byte array), the object holding each, stream when set, and "
                "value_bytes, the size of the stored value. Pictures are given by type, mime, "
                "desc and picture_bytes",
        "expected": "the row values the import stores (column names without mf_). MP3: ID3v2 "
                    "first, ID3v1 fills empty fields, numeric genre references resolved. Others "
                    "by their own tags (FLAC year from DATE, Ogg and Opus year from YEAR, MP4 gnre before "
                    "the text genre), genres never resolved. Texts cleaned as stored (backslash "
                    "to slash, colon to underscore, trimmed; double quotes kept), file-name and "
                    "'Music' fallbacks applied; an empty text is a stored empty value. duration "
                    "in seconds within duration_tolerance; length, where the duration is exact "
                    "(FLAC, Ogg, Opus, WMA), is the stored whole-second value; bitrate null where the "
                    "reader computes it from the file's layout (MPEG VBR, FLAC, MP4)",
    },
    "files": files,
}

tmp = os.path.join(OUT, "manifest.json.tmp")
with open(tmp, "w", encoding="utf-8") as f:
    json.dump(manifest, f, ensure_ascii=False, indent=1)
    f.write("\n")
os.replace(tmp, os.path.join(OUT, "manifest.json"))
total = sum(e["size"] for e in files)
print("make-test-audio: %d files, %d bytes in %s" % (len(files), total, OUT))
