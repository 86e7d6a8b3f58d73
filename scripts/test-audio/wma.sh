# Part of scripts/make-test-audio (sourced by it): WMA (ASF).
# shellcheck shell=bash

# ---------------------------------------------------------------- WMA

# wma_file REL CODEC RATE CHANNELS SECONDS KBITS [FFMPEG OPTIONS...] [-- KEY=VALUE...]
# ffmpeg -c:a CODEC -b:a KBITSk into ASF; asked.NAME=VALUE become ffmpeg
# metadata.
wma_file() {
    local rel=$1 codec=$2 rate=$3 ch=$4 secs=$5 br=$6
    shift 6
    split_opts "$@"
    local opts=(-c:a "$codec" -b:a "${br}k" "${TOOL_OPTS[@]}") meta=() kv
    for kv in "${ASKED[@]}"; do meta+=(-metadata "$kv"); done
    ((${#ASKED[@]} == 0)) || KEYS+=(tagger=ffmpeg)
    outdir "$rel"
    ffmpeg -nostdin -v error -i "$(tone "$rate" "$ch" "$secs")" "${opts[@]}" -fflags +bitexact \
        -map_metadata -1 "${meta[@]}" -f asf "$OUT/$rel"
    record path="$rel" format=wma made_by="ffmpeg ${opts[*]} -f asf" codec="$codec" \
        rate="$rate" channels="$ch" seconds="$secs" bitrate="$br" "${KEYS[@]}"
}

section_wma() {
    SECTION=wma-stream
    local d=wma/stream
    wma_file $d/wmav2-stereo-44100-128k.wma wmav2 44100 2 2 128 -- \
        asked.title="WMA Title" asked.artist="WMA Ärtist" asked.album="WMA Album" \
        asked.date=2010 asked.genre=Jazz asked.track=4/10 asked.comment="wma comment" \
        note="ffmpeg writes the year only as an attribute named date, which the import does not read"
    wma_file $d/wmav2-mono-22050-32k.wma wmav2 22050 1 2 32 -- asked.title="Mono WMA" \
        asked.WM/Year=2011
    wma_file $d/wmav1-stereo-44100-64k.wma wmav1 44100 2 1 64 -- asked.title="Version One"
    wma_file $d/wmav2-stereo-48000-96k.wma wmav2 48000 2 1 96 -- asked.title="Forty-Eight"
    truncated $d/truncated-in-data-packets.wma wma/stream/wmav2-stereo-44100-128k.wma 20000 \
        note="the header is complete; the length estimate follows the shorter file"

    SECTION=base
    wma_file .work/base/wmav2-stereo-44100.wma wmav2 44100 2 1 128

    SECTION=wma-tags
    d=wma/tags
    copy_base wmav2-stereo-44100.wma $d/mutagen-number-track-picture.wma tags=asf_full
    copy_base wmav2-stereo-44100.wma $d/mutagen-text-track-huge-picture.wma tags=asf_huge
    copy_base wmav2-stereo-44100.wma "$d/Name_Artist - Case Of Names.wma" tags=asf_case
    copy_base wmav2-stereo-44100.wma $d/mutagen-quotes-colons.wma tags=asf_special

    SECTION=wma-reject
    d=wma/reject
    wma_file $d/ac3-5.1-48000-192k.wma ac3 48000 6 1 192 -- reject=1 \
        note="6 channels (AC-3 in ASF, as no WMA encoder writes 6): every other value is in range"
    wma_file $d/wmav2-stereo-44100-320k.wma wmav2 44100 2 1 320 -- reject=1 \
        note="40000 bytes per second and a maximum bit rate of 320000 are both out of range"
    truncated $d/truncated-in-header.wma wma/stream/wmav2-mono-22050-32k.wma 200 reject=1 \
        note="cut inside the header objects"
}
