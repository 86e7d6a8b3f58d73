# Part of scripts/make-test-audio (sourced by it): Ogg Opus.
# shellcheck shell=bash

# ---------------------------------------------------------------- Opus

# opus_file REL RATE CHANNELS SECONDS KBITS [OPUSENC OPTIONS...] [-- KEY=VALUE...]
# opusenc --bitrate KBITS from a tone at RATE (Opus itself always runs at
# 48 kHz), serial number from serial_of. asked.artist, title, album, date,
# genre and tracknumber become opusenc's own options, which write those
# lower-case names; any other asked.NAME=VALUE becomes --comment NAME=VALUE.
# The comments are read back from the file (opusenc adds ENCODER ones).
opus_file() {
    local rel=$1 rate=$2 ch=$3 secs=$4 br=$5
    shift 5
    split_opts "$@"
    local opts=(--bitrate "$br" "${TOOL_OPTS[@]}") tags=() kv serial
    serial=$(serial_of "$rel")
    for kv in "${ASKED[@]}"; do
        case ${kv%%=*} in
        artist | title | album | date | genre | tracknumber) tags+=("--${kv%%=*}" "${kv#*=}") ;;
        *) tags+=(--comment "$kv") ;;
        esac
    done
    outdir "$rel"
    opusenc --quiet --serial "$serial" "${opts[@]}" "${tags[@]}" "$(tone "$rate" "$ch" "$secs")" "$OUT/$rel"
    record path="$rel" format=opus made_by="opusenc ${opts[*]} --serial $serial" codec=opus \
        rate=48000 input_rate="$rate" channels="$ch" seconds="$secs" bitrate="$br" serial="$serial" \
        tagger=opusenc "${KEYS[@]}"
}

section_opus() {
    SECTION=opus-stream
    local d=opus/stream f serial
    opus_file $d/opusenc-stereo-44100-64k.opus 44100 2 2 64 -- \
        asked.artist="Opus Ärtist" asked.title="Opus Title" asked.album="Opus Album" \
        asked.date=2004 asked.genre=Rock asked.tracknumber=5 asked.YEAR=2001 \
        asked.COMMENT="opus comment" \
        note="the input is 44.1 kHz; Opus decodes at 48 kHz, which the row holds"
    opus_file $d/opusenc-mono-48000-24k.opus 48000 1 1 24 -- asked.TITLE="Mono Opus" \
        asked.ARTIST="Narrow Opus"
    opus_file $d/opusenc-5.1-48000-128k.opus 48000 6 1 128 -- asked.TITLE="Surround Opus"
    opus_file $d/opusenc-stereo-in-oga.oga 48000 2 1 64 -- asked.TITLE="Opus Named oga" \
        note=".oga holds Vorbis or Opus: the first packet decides"
    f=$d/ffmpeg-libopus-stereo-48000.opus
    serial=$(serial_of $f)
    ffmpeg -nostdin -v error -i "$(tone 48000 2 1)" -c:a libopus -b:a 64k -fflags +bitexact \
        -map_metadata -1 -metadata "title=FFmpeg Opus" -metadata "artist=FFmpeg Artist" \
        -metadata date=2011 -serial_offset "$serial" -f ogg "$OUT/$f"
    record path=$f format=opus made_by="ffmpeg -c:a libopus -b:a 64k -serial_offset $serial -f ogg" \
        codec=opus rate=48000 input_rate=48000 channels=2 seconds=1 bitrate=64 serial="$serial" \
        tagger=ffmpeg asked.title="FFmpeg Opus" asked.artist="FFmpeg Artist" asked.date=2011

    SECTION=base
    opus_file .work/base/opus-stereo-48000.opus 48000 2 1 64

    SECTION=opus-tags
    d=opus/tags
    copy_base opus-stereo-48000.opus $d/mutagen-comments-picture.opus tags=vorbis_full
    copy_base opus-stereo-48000.opus $d/mutagen-comment-header-over-many-pages.opus \
        tags=vorbis_many_pages

    SECTION=opus-reject
    d=opus/reject
    copy_base vorbis-stereo-44100.ogg $d/vorbis.opus format=opus reject=1 \
        note="Ogg Vorbis named .opus: that name is taken for Opus only"
    opus_file $d/opusenc-too-short.opus 48000 2 0.05 64 -- reject=1 \
        note="50 ms: the reader takes more than 0.1 s only"
    truncated $d/truncated-in-opus-head.opus opus/stream/opusenc-mono-48000-24k.opus 36 reject=1 \
        note="cut inside the OpusHead packet"
}
