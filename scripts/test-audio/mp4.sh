# Part of scripts/make-test-audio (sourced by it): MP4 audio (AAC and ALAC).
# shellcheck shell=bash

# ---------------------------------------------------------------- MP4

# mp4_file REL CODEC RATE CHANNELS SECONDS KBITS [FFMPEG OPTIONS...] [-- KEY=VALUE...]
# AAC at KBITS, or ALAC (KBITS "-"), in ffmpeg's iPod flavour of MP4, which is
# what .m4a, .m4b and .m4r files hold. asked.NAME=VALUE become ffmpeg
# metadata (title, artist, album, date, genre, track, comment).
mp4_file() {
    local rel=$1 codec=$2 rate=$3 ch=$4 secs=$5 br=$6
    shift 6
    split_opts "$@"
    local opts=(-c:a "$codec") meta=() kv
    [[ $br == - ]] || opts+=(-b:a "${br}k")
    opts+=("${TOOL_OPTS[@]}")
    for kv in "${ASKED[@]}"; do meta+=(-metadata "$kv"); done
    ((${#ASKED[@]} == 0)) || KEYS+=(tagger=ffmpeg)
    outdir "$rel"
    ffmpeg -nostdin -v error -i "$(tone "$rate" "$ch" "$secs")" "${opts[@]}" -fflags +bitexact \
        -map_metadata -1 "${meta[@]}" -f ipod "$OUT/$rel"
    record path="$rel" format=mp4 made_by="ffmpeg ${opts[*]} -f ipod" codec="$codec" \
        rate="$rate" channels="$ch" seconds="$secs" bitrate="$br" "${KEYS[@]}"
}

# atomicparsley_genre REL GENRE: AtomicParsley replaces the text genre by the
# numeric gnre item. It stamps the current time into the movie header, which
# is set back to 0 (as ffmpeg wrote it) to keep the file the same every run.
atomicparsley_genre() {
    AtomicParsley "$OUT/$1" --genre "$2" --overWrite >/dev/null
    "$PY" - "$OUT/$1" <<'PY'
import struct, sys
path = sys.argv[1]
with open(path, "r+b") as f:
    data = f.read()

    def child(start, end, want):
        pos = start
        while pos + 8 <= end:
            size, kind = struct.unpack(">I4s", data[pos:pos + 8])
            if size < 8 or pos + size > end:
                raise SystemExit("%s: unexpected atom size at %d" % (path, pos))
            if kind == want:
                return pos, size
            pos += size
        raise SystemExit("%s: no %s atom" % (path, want.decode()))

    moov, moov_size = child(0, len(data), b"moov")
    mvhd, _ = child(moov + 8, moov + moov_size, b"mvhd")
    width = 8 if data[mvhd + 8] == 1 else 4    # version 1 has 64-bit times
    f.seek(mvhd + 12)
    f.write(bytes(2 * width))                   # creation and modification time
PY
}

section_mp4() {
    SECTION=mp4-stream
    local d=mp4/stream
    mp4_file $d/aac-stereo-44100-128k.m4a aac 44100 2 2 128 -- \
        asked.title="MP4 Title" asked.artist="MP4 Ärtist" asked.album="MP4 Album" \
        asked.date=2010 asked.genre=Jazz asked.track=4/10 asked.comment="mp4 comment" \
        note="ffmpeg writes moov after mdat"
    mp4_file $d/aac-mono-22050-48k.m4a aac 22050 1 2 48 -- asked.title="Mono AAC" \
        note="ffmpeg writes 2 channels into every AAC sample entry; only the codec configuration says 1"
    mp4_file $d/aac-5.1-48000-192k-faststart.m4a aac 48000 6 1 192 -movflags +faststart -- \
        asked.title="Six Channels" asked.artist="Surround Band" \
        note="moov before mdat; the AAC sample entry says 2 channels"
    mp4_file $d/alac-stereo-44100.m4a alac 44100 2 1 - -- \
        asked.title="Lossless" asked.artist="ALAC Artist" asked.track=2 \
        note="ALAC sample entries carry the channel count; the reader takes the rate from the ALAC configuration"
    mp4_file $d/alac-mono-48000.m4a alac 48000 1 1 - -- asked.title="Lossless Mono"
    mp4_file $d/ringtone-aac-stereo-44100.m4r aac 44100 2 1 96 -- \
        asked.title="Ring Ring" asked.artist="Tone Maker"

    # An audiobook with chapters: ffmpeg adds a second trak (a text track
    # whose sample entry is "text") and a Nero chapter list (chpl) in udta.
    local book=$d/audiobook-chapters.m4b
    printf '%s\n' ';FFMETADATA1' 'title=Chapter Book' 'artist=Reader Voice' \
        'album=Spoken Words' '[CHAPTER]' 'TIMEBASE=1/1000' 'START=0' 'END=1000' \
        'title=Opening' '[CHAPTER]' 'TIMEBASE=1/1000' 'START=1000' 'END=2000' \
        'title=Closing' >"$WORK/src/chapters.txt"
    outdir $book
    ffmpeg -nostdin -v error -i "$(tone 44100 2 2)" -i "$WORK/src/chapters.txt" -map 0:a \
        -map_metadata 1 -map_chapters 1 -c:a aac -b:a 64k -fflags +bitexact -f ipod "$OUT/$book"
    record path=$book format=mp4 made_by="ffmpeg -c:a aac -b:a 64k -map_chapters 1 -f ipod" \
        codec=aac rate=44100 channels=2 seconds=2 bitrate=64 tagger=ffmpeg \
        asked.title="Chapter Book" asked.artist="Reader Voice" asked.album="Spoken Words" \
        note="two chapters: a text trak follows the audio trak, whose values must stay; no cover, so has-image stays empty"

    SECTION=base
    mp4_file .work/base/aac-stereo-44100.m4a aac 44100 2 1 96
    mp4_file .work/base/aac-stereo-44100.m4b aac 44100 2 1 64

    SECTION=mp4-tags
    d=mp4/tags
    copy_base aac-stereo-44100.m4a $d/mutagen-full.m4a tags=mp4_full
    copy_base aac-stereo-44100.m4a $d/mutagen-quotes-colons-genre-code.m4a tags=mp4_special
    copy_base aac-stereo-44100.m4a $d/mutagen-big-cover.m4a tags=mp4_big_cover
    copy_base aac-stereo-44100.m4a "$d/Free_Artist - Free Form Only.m4a" tags=mp4_freeform_only
    copy_base aac-stereo-44100.m4b $d/audiobook-cover.m4b tags=mp4_book
    copy_base aac-stereo-44100.m4a $d/mutagen-cover.m4r tags=mp4_ringtone
    mp4_file $d/atomicparsley-gnre-rock.m4a aac 44100 2 1 96 -- \
        asked.title="Numeric Genre" asked.artist="AP Artist" asked.genre=Pop asked.track=2/8 \
        atomicparsley.genre=Rock \
        then="AtomicParsley --genre Rock --overWrite (mvhd times set back to 0)"
    atomicparsley_genre $d/atomicparsley-gnre-rock.m4a Rock
    mp4_file $d/atomicparsley-gnre-blues.m4a aac 44100 2 1 96 -- \
        asked.title="Genre One" atomicparsley.genre=Blues \
        then="AtomicParsley --genre Blues --overWrite (mvhd times set back to 0)"
    atomicparsley_genre $d/atomicparsley-gnre-blues.m4a Blues

    copy_base aac-stereo-44100.m4a "$d/Untagged_Artist - Untagged Title.m4a" \
        note="ffmpeg writes an empty ilst: the reader reads no item (result 1) but the audio, so it is a track"

    SECTION=mp4-reject
    d=mp4/reject
    truncated $d/truncated-in-mdat.m4a mp4/stream/aac-stereo-44100-128k.m4a 16384 reject=1 \
        note="mdat claims more bytes than are left: the reader's result is 5"
    truncated $d/truncated-in-moov.m4a mp4/stream/aac-5.1-48000-192k-faststart.m4a 300 reject=1 \
        note="moov claims more bytes than are left: the reader's result is 5"
    ffmpeg -nostdin -v error -i "$(tone 8000 1 1)" -fflags +bitexact -c:a pcm_s16le -f wav \
        "$OUT/$d/wave-named-m4a.m4a"
    record path=$d/wave-named-m4a.m4a format=mp4 reject=1 made_by="ffmpeg -c:a pcm_s16le -f wav" \
        note="the first atom is not ftyp: the reader's result is 9"
}
