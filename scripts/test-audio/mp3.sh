# Part of scripts/make-test-audio (sourced by it): MPEG audio, ID3 tags, ID3 in RIFF and AIFF chunks, and the MP3 files the import refuses.
# shellcheck shell=bash

# lame_stream REL RATE SECONDS MODE BITRATE|Vq HEADER [LAME OPTIONS...] [-- KEY=VALUE...]
# MODE: stereo, joint, dual, mono. HEADER: the header frame lame writes
# (Info for CBR, Xing for VBR, none when the first frame is too small for it).
lame_stream() {
    local rel=$1 rate=$2 secs=$3 mode=$4 br=$5 header=$6
    shift 6
    local extra=() opts m
    while (($#)) && [[ $1 != -- ]]; do extra+=("$1"); shift; done
    (($#)) && shift
    case $mode in stereo) m=s ;; joint) m=j ;; dual) m=d ;; mono) m=m ;; esac
    if [[ $br == V* ]]; then opts=(-V "${br#V}"); else opts=(-b "$br"); fi
    opts+=(-m "$m" --resample "$(khz "$rate")" "${extra[@]}")
    outdir "$rel"
    lame --quiet "${opts[@]}" "$(tone "$rate" "$(channels_of "$mode")" "$secs")" "$OUT/$rel"
    record path="$rel" format=mp3 made_by="lame ${opts[*]}" layer=3 rate="$rate" \
        mode="$mode" bitrate="$br" header="$header" seconds="$secs" "$@"
}

# mp2_stream REL RATE SECONDS MODE BITRATE: MPEG Layer II from ffmpeg (stereo or mono)
mp2_stream() {
    local rel=$1 rate=$2 secs=$3 mode=$4 br=$5
    outdir "$rel"
    ffmpeg -nostdin -v error -i "$(tone "$rate" "$(channels_of "$mode")" "$secs")" \
        -c:a mp2 -b:a "${br}k" -fflags +bitexact -f mp2 "$OUT/$rel"
    record path="$rel" format=mp3 made_by="ffmpeg -c:a mp2 -b:a ${br}k -f mp2" layer=2 \
        rate="$rate" mode="$mode" bitrate="$br" header=none seconds="$secs"
}

# shine_stream REL RATE SECONDS MODE BITRATE: libshine CBR without a header frame
shine_stream() {
    local rel=$1 rate=$2 secs=$3 mode=$4 br=$5
    outdir "$rel"
    ffmpeg -nostdin -v error -i "$(tone "$rate" "$(channels_of "$mode")" "$secs")" \
        -c:a libshine -b:a "${br}k" -fflags +bitexact -map_metadata -1 \
        -id3v2_version 0 -write_xing 0 -f mp3 "$OUT/$rel"
    record path="$rel" format=mp3 made_by="ffmpeg -c:a libshine -b:a ${br}k -write_xing 0" \
        layer=3 rate="$rate" mode="$mode" bitrate="$br" header=none seconds="$secs"
}

# copy_of BASE REL [KEY=VALUE...]: a copy of a base stream, to be tagged by
# mutagen (tags=NAME) or left as it is.
copy_of() {
    local base=$1 rel=$2
    shift 2
    outdir "$rel"
    cp "$OUT/.work/base/$base.mp3" "$OUT/$rel"
    record path="$rel" format=mp3 base="$base" "$@"
}

# ---------------------------------------------------------------- MP3 streams

section_mp3_streams() {
    SECTION=mp3-stream
    local d=mp3/stream
    lame_stream $d/mpeg1-layer3-cbr128-joint-44100.mp3 44100 2 joint 128 Info
    lame_stream $d/mpeg1-layer3-cbr192-stereo-48000.mp3 48000 2 stereo 192 Info
    lame_stream $d/mpeg1-layer3-cbr96-dual-32000.mp3 32000 2 dual 96 Info
    lame_stream $d/mpeg1-layer3-cbr64-mono-44100.mp3 44100 3 mono 64 Info
    lame_stream $d/mpeg1-layer3-cbr128-joint-44100-crc.mp3 44100 1 joint 128 Info -p
    lame_stream $d/mpeg1-layer3-vbr-v2-joint-44100.mp3 44100 2 joint V2 Xing
    lame_stream $d/mpeg1-layer3-vbr-v4-joint-44100-crc.mp3 44100 2 joint V4 Xing -p -- \
        note="CRC-protected frames; lame keeps the Xing header at offset 36 of the frame"
    lame_stream $d/mpeg1-layer3-vbr-v6-mono-48000.mp3 48000 2 mono V6 Xing
    lame_stream $d/mpeg2-layer3-cbr64-joint-22050.mp3 22050 2 joint 64 Info
    lame_stream $d/mpeg2-layer3-cbr40-mono-16000.mp3 16000 2 mono 40 Info
    lame_stream $d/mpeg2-layer3-vbr-v4-stereo-24000.mp3 24000 2 stereo V4 Xing
    lame_stream $d/mpeg25-layer3-cbr16-mono-8000.mp3 8000 2 mono 16 none -- \
        note="the first frame (144 bytes) is too small for an Info header"
    lame_stream $d/mpeg25-layer3-cbr32-joint-11025.mp3 11025 2 joint 32 Info
    lame_stream $d/mpeg25-layer3-cbr24-joint-12000.mp3 12000 2 joint 24 none -- \
        note="the first frame (144 bytes) is too small for an Info header"
    lame_stream $d/mpeg25-layer3-vbr-v5-mono-8000.mp3 8000 2 mono V5 Xing
    lame_stream $d/mpeg25-layer3-vbr-v5-stereo-12000.mp3 12000 2 stereo V5 Xing
    mp2_stream $d/mpeg1-layer2-cbr192-stereo-44100.mp3 44100 2 stereo 192
    mp2_stream $d/mpeg1-layer2-cbr128-mono-48000.mp3 48000 2 mono 128
    mp2_stream $d/mpeg2-layer2-cbr64-stereo-22050.mp3 22050 2 stereo 64
    mp2_stream $d/mpeg2-layer2-cbr32-mono-16000.mp3 16000 2 mono 32
    shine_stream $d/mpeg1-layer3-shine-cbr128-stereo-44100.mp3 44100 2 stereo 128
    shine_stream $d/mpeg1-layer3-shine-cbr64-mono-32000.mp3 32000 2 mono 64
}

# ---------------------------------------------------------------- MP3 tags

section_mp3_tags() {
    SECTION=base
    lame_stream .work/base/cbr128-joint-44100.mp3 44100 1 joint 128 Info
    lame_stream .work/base/vbr-v4-joint-44100.mp3 44100 1 joint V4 Xing
    lame_stream .work/base/cbr16-mono-8000.mp3 8000 1 mono 16 none

    SECTION=mp3-tags
    local d=mp3/tags
    copy_of cbr128-joint-44100 "$d/id3v23 utf-16 with picture.mp3" tags=v23_utf16
    copy_of cbr128-joint-44100 $d/id3v24-utf8.mp3 tags=v24_utf8
    copy_of cbr128-joint-44100 $d/id3v23-latin1.mp3 tags=v23_latin1
    copy_of cbr128-joint-44100 $d/id3v24-utf16be-big-picture.mp3 tags=v24_utf16be_big_picture
    copy_of cbr128-joint-44100 $d/id3v23-quotes-backslashes-colons.mp3 tags=v23_special
    copy_of cbr128-joint-44100 $d/id3v23-txxx-COMMENT.mp3 tags=v23_txxx_upper
    copy_of cbr128-joint-44100 $d/id3v24-txxx-comment.mp3 tags=v24_txxx_lower
    copy_of cbr128-joint-44100 $d/id3v23-blank-tyer-tdrc.mp3 tags=v23_tdrc_fallback
    copy_of cbr128-joint-44100 $d/id3v23-utf8-bytes-as-latin1.mp3 tags=v23_utf8_in_latin1
    copy_of cbr128-joint-44100 $d/id3v23-blank-title+id3v1.mp3 tags=v23_blank_title_v1
    copy_of cbr128-joint-44100 $d/id3v24+id3v1-differ.mp3 tags=v24_v1_differ
    copy_of cbr128-joint-44100 $d/id3v1.1-only.mp3 tags=v11_only
    copy_of cbr128-joint-44100 $d/id3v1.0-only-space-padded.mp3 tags=v10_only
    copy_of cbr128-joint-44100 "$d/Picture_Artist - Picture Only.mp3" tags=apic_only
    copy_of vbr-v4-joint-44100 $d/id3v24-vbr.mp3 tags=v24_vbr
    copy_of cbr16-mono-8000 $d/id3v23+id3v1-mpeg25-8000.mp3 tags=v23_v1_mpeg25

    # Tags written by the tools themselves.
    lame_stream $d/lame-id3v2+id3v1.mp3 44100 1 joint 128 Info --add-id3v2 \
        --tt "Lame Title" --ta "Lame Artist" --tl "Lame Album" --ty 2001 \
        --tc "Lame comment" --tn 7/12 --tg Rock -- \
        tagger=lame id3v2=2.3 id3v1=1.1 \
        asked.title="Lame Title" asked.artist="Lame Artist" asked.album="Lame Album" \
        asked.year=2001 asked.comment="Lame comment" asked.track=7/12 asked.genre=Rock \
        note="lame writes COMM as UTF-16 whose empty description has no byte-order mark"
    lame_stream $d/lame-id3v1-only.mp3 44100 1 joint 128 Info --id3v1-only \
        --tt "Lame V1 Title" --ta "Lame V1 Artist" --tl "Lame V1 Album" --ty 1998 \
        --tc "lame v1 comment" --tn 3 --tg Pop -- \
        tagger=lame id3v1=1.1 \
        asked.title="Lame V1 Title" asked.artist="Lame V1 Artist" asked.album="Lame V1 Album" \
        asked.year=1998 asked.comment="lame v1 comment" asked.track=3 asked.genre=Pop

    outdir $d/x
    ffmpeg -nostdin -v error -i "$(tone 44100 2 1)" -c:a libmp3lame -b:a 128k \
        -fflags +bitexact -id3v2_version 3 -write_id3v1 1 \
        -metadata "artist=FFmpeg Ärtist" -metadata "title=FFmpeg Title" \
        -metadata "album=FFmpeg Album" -metadata date=2010 -metadata genre=Jazz \
        -metadata track=4/10 -metadata "comment=ffmpeg comment" -f mp3 "$OUT/$d/ffmpeg-id3v23+id3v1.mp3"
    record path="$d/ffmpeg-id3v23+id3v1.mp3" format=mp3 \
        made_by="ffmpeg -c:a libmp3lame -b:a 128k -id3v2_version 3 -write_id3v1 1" \
        layer=3 rate=44100 mode=stereo bitrate=128 header=Info seconds=1 \
        tagger=ffmpeg id3v2=2.3 id3v1=1.1 \
        asked.artist="FFmpeg Ärtist" asked.title="FFmpeg Title" asked.album="FFmpeg Album" \
        asked.year=2010 asked.genre=Jazz asked.track=4/10 asked.comment="ffmpeg comment" \
        note="ffmpeg puts the comment into TXXX 'comment'; its Info frame header says stereo while the audio frames are joint stereo"
    ffmpeg -nostdin -v error -i "$(tone 44100 1 1)" -c:a libmp3lame -b:a 64k \
        -fflags +bitexact -id3v2_version 4 \
        -metadata "artist=FFmpeg Vier" -metadata "title=Ünïcödé über alles" \
        -metadata "album=Vierte Version" -metadata date=2014-02-03 -metadata genre=Folk \
        -metadata track=9 -metadata "comment=v2.4 comment" -f mp3 "$OUT/$d/ffmpeg-id3v24.mp3"
    record path="$d/ffmpeg-id3v24.mp3" format=mp3 \
        made_by="ffmpeg -c:a libmp3lame -b:a 64k -id3v2_version 4" \
        layer=3 rate=44100 mode=mono bitrate=64 header=Info seconds=1 \
        tagger=ffmpeg id3v2=2.4 \
        asked.artist="FFmpeg Vier" asked.title="Ünïcödé über alles" asked.album="Vierte Version" \
        asked.year=2014-02-03 asked.genre=Folk asked.track=9 asked.comment="v2.4 comment"

    copy_of cbr128-joint-44100 $d/id3lib-id3v23+id3v1.mp3 tagger=id3lib id3v2=2.3 id3v1=1.1 \
        asked.artist="Id3lib Artist" asked.title="Id3lib Title" asked.album="Id3lib Album" \
        asked.year=2002 asked.genre=17 asked.comment="Id3lib comment" asked.track=5/9 \
        made_by="id3v2 (id3lib)" note="id3lib writes the COMM language as three zero bytes"
    id3v2 -a "Id3lib Artist" -t "Id3lib Title" -A "Id3lib Album" -y 2002 -g 17 \
        -c "Id3lib comment" -T 5/9 "$OUT/$d/id3lib-id3v23+id3v1.mp3" >/dev/null
}

# ---------------------------------------------------------------- MP3 names

section_mp3_names() {
    SECTION=mp3-names
    local d=mp3/names
    copy_of cbr128-joint-44100 "$d/Artist_Name - Song_Title.mp3"
    copy_of cbr128-joint-44100 "$d/SONG.MP3"
    copy_of cbr128-joint-44100 "$d/01 - Artist - Title.mp3"
    copy_of cbr128-joint-44100 "$d/Sigur_Rós - Hoppípolla.mp3"
    copy_of cbr128-joint-44100 "$d/Ünïcödé Fïlé.mp3"
    copy_of cbr128-joint-44100 "$d/Quote's_\"Band\" - Spaced  Title.mp3" \
        note="a double quote in the path and in the artist taken from the name: both must reach the row intact, not break the SQL text"
    copy_of cbr128-joint-44100 "$d/Ordner mit Ümlaut/Band - Lied.mp3"
}

# ---------------------------------------------------------------- ID3 in WAVE and AIFF

section_id3_chunks() {
    SECTION=id3-chunks
    local d=riff
    mkdir -p "$OUT/$d"
    ffmpeg -nostdin -v error -i "$(tone 44100 2 1)" -fflags +bitexact -c:a pcm_s16le \
        "$OUT/$d/id3v23-chunk-after-data.wav"
    record path="$d/id3v23-chunk-after-data.wav" format=wav container=WAVE tag_chunk="id3 " \
        tags=riff_v23 made_by="ffmpeg -c:a pcm_s16le"
    ffmpeg -nostdin -v error -i "$(tone 44100 2 1)" -fflags +bitexact -c:a pcm_s16be \
        "$OUT/$d/id3v24-chunk.aiff"
    record path="$d/id3v24-chunk.aiff" format=aiff container=AIFF tag_chunk="ID3 " \
        tags=aiff_v24 made_by="ffmpeg -c:a pcm_s16be"
    ffmpeg -nostdin -v error -i "$(tone 8000 1 1)" -fflags +bitexact -c:a pcm_s16le \
        "$OUT/$d/untagged.wav"
    record path="$d/untagged.wav" format=wav container=WAVE made_by="ffmpeg -c:a pcm_s16le"
}

# ---------------------------------------------------------------- files to refuse

section_mp3_reject() {
    SECTION=mp3-reject
    local d=mp3/reject
    mkdir -p "$OUT/$d"
    ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=1" \
        -fflags +bitexact -c:a pcm_u8 -f wav "$OUT/$d/wave-named-mp3.mp3"
    record path="$d/wave-named-mp3.mp3" format=mp3 reject=1 made_by="ffmpeg -c:a pcm_u8 -f wav" \
        note="8-bit PCM around 128 never holds a 0xFF byte, so no frame sync can appear"
    record path="$d/random-bytes.mp3" format=mp3 reject=1 generate=random \
        made_by="make-test-audio: 8192 bytes from SHA-256 in counter mode, 0xFF mapped to 0xFE" \
        note="no 0xFF byte, so no frame sync can appear"
    : >"$OUT/$d/empty.mp3"
    record path="$d/empty.mp3" format=mp3 reject=1 made_by="empty file"
    head -c 4096 /dev/zero >"$OUT/$d/zeros.mp3"
    record path="$d/zeros.mp3" format=mp3 reject=1 made_by="4096 zero bytes"
    head -c 300 "$OUT/.work/base/cbr128-joint-44100.mp3" >"$OUT/$d/truncated-300-bytes.mp3"
    record path="$d/truncated-300-bytes.mp3" format=mp3 reject=1 \
        made_by="first 300 bytes of lame -b 128 (the first frame is 417 bytes long)"
    record path="$d/id3v23-tag-without-audio.mp3" format=mp3 reject=1 generate=empty \
        tags=tag_only made_by="mutagen on an empty file"
    ffmpeg -nostdin -v error -i "$(tone 44100 2 1)" -c:a mp2 -b:a 128k -fflags +bitexact \
        -f mp2 "$OUT/$d/layer2.mp2"
    record path="$d/layer2.mp2" format=mp2 reject=1 made_by="ffmpeg -c:a mp2 -f mp2" \
        note="real MPEG audio, but .mp2 is not an extension the import takes"
}
