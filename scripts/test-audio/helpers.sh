# Part of scripts/make-test-audio (sourced by it): the helpers every format uses.
# shellcheck shell=bash

jstr() {
    local s=${1//\\/\\\\}
    s=${s//\"/\\\"}
    printf '"%s"' "$s"
}

# record KEY=VALUE... : one line of the plan that the Python part turns into a
# manifest entry (and, for mutagen tag sets and generated files, into bytes).
record() {
    local line kv
    line="{\"section\":$(jstr "$SECTION")"
    for kv in "$@"; do
        line+=",$(jstr "${kv%%=*}"):$(jstr "${kv#*=}")"
    done
    printf '%s}\n' "$line" >>"$PLAN"
}

outdir() { mkdir -p "$(dirname "$OUT/$1")"; }

# tone RATE CHANNELS SECONDS [BITS]: path of a PCM WAVE (16-bit unless BITS
# says 24) holding a sine per channel (440 Hz left, 660 Hz right, further
# channels 550, 770, 330 and 880 Hz; 4 channels are quad, 6 are 5.1), made
# once and shared.
tone() {
    local rate=$1 ch=$2 secs=$3 bits=${4:-16}
    local f=$WORK/src/tone-$rate-${ch}ch-${secs}s.wav
    local codec=pcm_s16le
    if ((bits != 16)); then
        f=$WORK/src/tone-$rate-${ch}ch-${secs}s-${bits}bit.wav
        codec=pcm_s${bits}le
    fi
    if [[ ! -f $f ]]; then
        if ((ch == 1)); then
            ffmpeg -nostdin -v error -f lavfi \
                -i "sine=frequency=440:sample_rate=$rate:duration=$secs" \
                -fflags +bitexact -c:a "$codec" "$f"
        elif ((ch == 2)); then
            ffmpeg -nostdin -v error -filter_complex \
                "sine=frequency=440:sample_rate=$rate:duration=${secs}[l];sine=frequency=660:sample_rate=$rate:duration=${secs}[r];[l][r]join=inputs=2:channel_layout=stereo" \
                -fflags +bitexact -c:a "$codec" "$f"
        else
            local freqs=(440 660 550 770 330 880) graph="" pads="" i layout
            case $ch in 4) layout=quad ;; 6) layout=5.1 ;; *) die "no layout for $ch channels" ;; esac
            for ((i = 0; i < ch; i++)); do
                graph+="sine=frequency=${freqs[i]}:sample_rate=$rate:duration=${secs}[c$i];"
                pads+="[c$i]"
            done
            ffmpeg -nostdin -v error -filter_complex \
                "${graph}${pads}join=inputs=$ch:channel_layout=$layout" \
                -fflags +bitexact -c:a "$codec" "$f"
        fi
    fi
    printf '%s' "$f"
}

khz() {
    case $1 in
    44100) echo 44.1 ;;
    22050) echo 22.05 ;;
    11025) echo 11.025 ;;
    *) echo $(($1 / 1000)) ;;
    esac
}

channels_of() { [[ $1 == mono ]] && echo 1 || echo 2; }

# ---------------------------------------------------------------- shared by MP4, FLAC, Ogg, WMA

# split_opts ARGS...: the words before "--" into TOOL_OPTS, the KEY=VALUE
# words after it into KEYS, and the asked.NAME=VALUE among those into ASKED
# as NAME=VALUE.
split_opts() {
    TOOL_OPTS=() KEYS=() ASKED=()
    while (($#)) && [[ $1 != -- ]]; do TOOL_OPTS+=("$1"); shift; done
    (($#)) && shift
    KEYS=("$@")
    local kv
    for kv in "${KEYS[@]}"; do
        [[ $kv == asked.* ]] && ASKED+=("${kv#asked.}")
    done
    return 0
}

# copy_base BASE REL [KEY=VALUE...]: a copy of .work/base/BASE (name with its
# extension), to be tagged by mutagen (tags=NAME) or left as it is; the entry
# takes over the base's stream values.
copy_base() {
    local base=$1 rel=$2
    shift 2
    outdir "$rel"
    cp "$WORK/base/$base" "$OUT/$rel"
    record path="$rel" base="$base" "$@"
}

# truncated REL SOURCE BYTES [KEY=VALUE...]: the first BYTES bytes of the
# corpus file SOURCE as it is after tagging, cut by the Python part; the entry
# takes over the source's stream values and tags.
truncated() {
    local rel=$1 src=$2 n=$3
    shift 3
    outdir "$rel"
    record path="$rel" generate=truncate source="$src" bytes="$n" \
        made_by="the first $n bytes of $src" "$@"
}

# serial_of REL: an Ogg serial number derived from the path, so that every run
# writes the same bytes and no two files share one by accident.
serial_of() { echo $(($(printf '%s' "$1" | cksum | cut -d' ' -f1) % 2147483647)); }
