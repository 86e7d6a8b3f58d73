# Part of scripts/make-test-audio (sourced by it): Ogg Vorbis.
# shellcheck shell=bash

# ---------------------------------------------------------------- Ogg

# ogg_file REL RATE CHANNELS SECONDS QUALITY [OGGENC OPTIONS...] [-- KEY=VALUE...]
# oggenc -q QUALITY, serial number from serial_of. asked.artist, title, album,
# date, genre and tracknumber (lower case) become oggenc's own options, which
# write those lower-case names; any other asked.NAME=VALUE becomes -c NAME=VALUE.
ogg_file() {
    local rel=$1 rate=$2 ch=$3 secs=$4 q=$5
    shift 5
    split_opts "$@"
    local opts=(-q "$q" "${TOOL_OPTS[@]}") tags=() kv serial
    serial=$(serial_of "$rel")
    for kv in "${ASKED[@]}"; do
        case ${kv%%=*} in
        artist) tags+=(-a "${kv#*=}") ;;
        title) tags+=(-t "${kv#*=}") ;;
        album) tags+=(-l "${kv#*=}") ;;
        date) tags+=(-d "${kv#*=}") ;;
        genre) tags+=(-G "${kv#*=}") ;;
        tracknumber) tags+=(-N "${kv#*=}") ;;
        *) tags+=(-c "$kv") ;;
        esac
    done
    ((${#ASKED[@]} == 0)) || KEYS+=(tagger=oggenc)
    outdir "$rel"
    oggenc --quiet --serial "$serial" "${opts[@]}" "${tags[@]}" -o "$OUT/$rel" \
        "$(tone "$rate" "$ch" "$secs")"
    record path="$rel" format=ogg made_by="oggenc ${opts[*]} --serial $serial" codec=vorbis \
        rate="$rate" channels="$ch" seconds="$secs" quality="q$q" serial="$serial" "${KEYS[@]}"
}

section_ogg() {
    SECTION=ogg-stream
    local d=ogg/stream
    ogg_file $d/vorbis-stereo-44100-q2.ogg 44100 2 2 2 -- \
        asked.artist="Ogg Ärtist" asked.title="Vorbis Title" asked.album="Vorbis Album" \
        asked.date=2004 asked.genre=Rock asked.tracknumber=5 asked.YEAR=1999 \
        asked.COMMENT="vorbis comment" \
        note="oggenc's -d writes date=2004, which the import does not read; the year comes from YEAR"
    ogg_file $d/vorbis-mono-22050-q0.ogg 22050 1 2 0 -- asked.TITLE="Mono Vorbis" \
        asked.ARTIST="Narrow Band"
    ogg_file $d/vorbis-5.1-48000-q0.ogg 48000 6 1 0 -- asked.TITLE="Surround Vorbis"

    local f=$d/ffmpeg-libvorbis-stereo-48000.ogg serial
    serial=$(serial_of $f)
    ffmpeg -nostdin -v error -i "$(tone 48000 2 1)" -c:a libvorbis -q:a 3 -fflags +bitexact \
        -map_metadata -1 -metadata "title=FFmpeg Vorbis" -metadata "artist=FFmpeg Artist" \
        -metadata "album=FFmpeg Album" -metadata date=2011 -metadata genre=Folk \
        -metadata track=6/9 -metadata "comment=ffmpeg comment" -serial_offset "$serial" \
        -f ogg "$OUT/$f"
    record path=$f format=ogg made_by="ffmpeg -c:a libvorbis -q:a 3 -serial_offset $serial -f ogg" \
        codec=vorbis rate=48000 channels=2 seconds=1 quality=q3 serial="$serial" tagger=ffmpeg \
        asked.title="FFmpeg Vorbis" asked.artist="FFmpeg Artist" asked.album="FFmpeg Album" \
        asked.date=2011 asked.genre=Folk asked.track=6/9 asked.comment="ffmpeg comment" \
        note="ffmpeg writes the comment as DESCRIPTION and the year as date: neither reaches the row"

    SECTION=base
    ogg_file .work/base/vorbis-stereo-44100.ogg 44100 2 1 2

    SECTION=ogg-stream
    copy_base vorbis-stereo-44100.ogg ogg/stream/vorbis-named-oga.oga \
        note=".oga holds Vorbis or Opus: the first packet decides"

    SECTION=ogg-tags
    d=ogg/tags
    copy_base vorbis-stereo-44100.ogg $d/mutagen-comments-picture.ogg tags=vorbis_full
    copy_base vorbis-stereo-44100.ogg $d/mutagen-comment-header-over-many-pages.ogg \
        tags=vorbis_many_pages
    copy_base vorbis-stereo-44100.ogg "$d/Lower_Case - Names And Picture.ogg" tags=vorbis_lower_case

    SECTION=ogg-reject
    d=ogg/reject
    f=$d/opus.ogg
    outdir $f
    ffmpeg -nostdin -v error -i "$(tone 48000 2 1)" -c:a libopus -b:a 64k -fflags +bitexact \
        -metadata "title=Opus Title" -f ogg "$OUT/$f"
    record path=$f format=ogg reject=1 made_by="ffmpeg -c:a libopus -b:a 64k -f ogg" \
        codec=opus rate=48000 channels=2 seconds=1 note="the first packet is OpusHead, not Vorbis"
    flac --silent --force --ogg --serial-number=2 -o "$OUT/$d/flac-in-ogg.ogg" "$(tone 8000 1 1)"
    record path=$d/flac-in-ogg.ogg format=ogg reject=1 made_by="flac --ogg --serial-number=2" \
        note="the first packet is FLAC's Ogg mapping header, not Vorbis"
    ogg_file $d/vorbis-quad-48000.ogg 48000 4 1 0 -- asked.TITLE="Four Channels" reject=1 \
        note="Vorbis with 4 channels: the reader takes 1, 2 and 6 only"
    truncated $d/truncated-in-first-page.ogg ogg/stream/vorbis-mono-22050-q0.ogg 40 reject=1 \
        note="cut inside the identification header: the channel count is there, the sample rate is not"
}
