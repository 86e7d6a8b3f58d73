# Part of scripts/make-test-audio (sourced by it): FLAC.
# shellcheck shell=bash

# ---------------------------------------------------------------- FLAC

# flac_file REL RATE CHANNELS SECONDS BITS [FLAC OPTIONS...] [-- KEY=VALUE...]
# flac -8; asked.NAME=VALUE become -T NAME=VALUE, and
# picture=FILE:TYPE:MIME:DESCRIPTION a --picture of .work/pictures/FILE.png.
flac_file() {
    local rel=$1 rate=$2 ch=$3 secs=$4 bits=$5
    shift 5
    split_opts "$@"
    local opts=(-8 "${TOOL_OPTS[@]}") tags=() kv file ptype mime desc
    for kv in "${ASKED[@]}"; do tags+=(-T "$kv"); done
    ((${#ASKED[@]} == 0)) || KEYS+=(tagger=flac)
    for kv in "${KEYS[@]}"; do
        if [[ $kv == picture=* ]]; then
            IFS=: read -r file ptype mime desc <<<"${kv#picture=}"
            opts+=("--picture=$ptype|$mime|$desc||$PICS/$file.png")
        fi
    done
    outdir "$rel"
    flac --silent --force "${opts[@]}" "${tags[@]}" -o "$OUT/$rel" "$(tone "$rate" "$ch" "$secs" "$bits")"
    record path="$rel" format=flac made_by="flac ${opts[*]//$PICS\//}" codec=flac rate="$rate" \
        channels="$ch" seconds="$secs" bits="$bits" "${KEYS[@]}"
}

section_flac() {
    SECTION=flac-stream
    local d=flac/stream
    flac_file $d/stereo-44100-16bit-seektable-picture-padding.flac 44100 2 2 16 -S 1s -P 4096 -- \
        asked.ARTIST="FLAC Artist" asked.TITLE="Seek Table And Picture" asked.ALBUM="Blocks" \
        asked.DATE=2004 asked.GENRE=Rock asked.COMMENT="flac comment" asked.TRACKNUMBER=3/9 \
        picture=small:3:image/png:Cover blocks=STREAMINFO,SEEKTABLE,VORBIS_COMMENT,PICTURE,PADDING
    flac_file $d/mono-8000-16bit-no-seektable-no-padding.flac 8000 1 2 16 --no-seektable --no-padding -- \
        asked.TITLE="Plain Blocks" asked.ARTIST="Mono Voice" blocks=STREAMINFO,VORBIS_COMMENT
    flac_file $d/5.1-48000-16bit.flac 48000 6 1 16 -- asked.TITLE="Surround" \
        blocks=STREAMINFO,SEEKTABLE,VORBIS_COMMENT,PADDING
    flac_file $d/mono-96000-24bit.flac 96000 1 1 24 -- asked.TITLE="High Resolution" \
        blocks=STREAMINFO,SEEKTABLE,VORBIS_COMMENT,PADDING
    local only="$d/Block_Artist - StreamInfo Only.flac"
    flac_file "$only" 22050 2 1 16 --no-seektable --no-padding -- blocks=STREAMINFO \
        then="metaflac --remove-all --dont-use-padding" \
        note="STREAMINFO is the only block: the tag reader returns 1, so no comment and no picture flag; artist and title come from the file name"
    metaflac --remove-all --dont-use-padding "$OUT/$only"

    SECTION=base
    flac_file .work/base/stereo-44100.flac 44100 2 1 16 --no-seektable --no-padding

    SECTION=flac-tags
    d=flac/tags
    copy_base stereo-44100.flac $d/mutagen-comments-picture.flac tags=flac_full
    copy_base stereo-44100.flac $d/mutagen-picture-before-comments.flac tags=flac_picture_first
    copy_base stereo-44100.flac $d/mutagen-name-case-tab-year.flac tags=flac_case
    copy_base stereo-44100.flac $d/mutagen-two-pictures-empty-padding.flac tags=flac_two_pictures
    copy_base stereo-44100.flac $d/mutagen-utf8.flac tags=flac_utf8

    SECTION=flac-reject
    d=flac/reject
    truncated $d/truncated-in-picture.flac flac/tags/mutagen-two-pictures-empty-padding.flac 8192 \
        reject=1 note="the first PICTURE block (about 49 KB) runs past the end of the file"
    copy_base stereo-44100.flac $d/id3v2-before-fLaC.flac tags=id3_before_flac reject=1 \
        note="an ID3v2 tag in front of the stream: the reader wants fLaC at offset 0"
    flac --silent --force --ogg --serial-number=1 -o "$OUT/$d/ogg-flac.flac" "$(tone 8000 1 1)"
    record path=$d/ogg-flac.flac format=flac reject=1 made_by="flac --ogg --serial-number=1" \
        note="FLAC in an Ogg stream: the file starts with OggS, not fLaC"
    : >"$OUT/$d/empty.flac"
    record path=$d/empty.flac format=flac reject=1 made_by="empty file"
}
