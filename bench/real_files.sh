#!/usr/bin/env bash
# The real-file benchmark: velmaro put of a tree of real audio files into an
# empty library, against a Python loop that only reads each file's tags with
# mutagen, in the same run over the same files; then ls -l against ls of the
# library's Titles.
#
#   bench/real_files.sh VELMARO [WORKDIR] [FILES]
#
# VELMARO is the velmaro program to time (an optimised build; its plug-in is
# found as velmaro finds it, or through $VELMARO_PLUGIN). WORKDIR (default
# build/real-files) receives the Debian packages that ship the audio, fetched
# with apt-get download, unpacked with dpkg -x, and a tree of FILES (default
# 20000) hard links to their audio files that the library takes. Nothing of
# it belongs in the repository.
#
# Prints the figures, then one line per target:
#   TARGET <what>: <figure> <unit>, floor <floor> <unit>: holds|misses
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"

[ $# -ge 1 ] || { echo "usage: bench/real_files.sh VELMARO [WORKDIR] [FILES]" >&2; exit 2; }
velmaro=$(readlink -f "$1")
work=$(mkdir -p "${2:-$VELMARO_ROOT/build/real-files}" && cd "${2:-$VELMARO_ROOT/build/real-files}" && pwd)
wanted=${3:-20000}
[ -x "$velmaro" ] || { echo "bench/real_files.sh: $velmaro is no program" >&2; exit 2; }

# Debian packages that ship audio (sound themes, synthesiser samples, a
# game's sounds): mostly Ogg, FLAC and WAVE.
packages=(sound-theme-freedesktop supercollider-common lmms-common frozen-bubble-data)
install_packages python3-mutagen

mkdir -p "$work/debs" "$work/unpacked"
for package in "${packages[@]}"; do
  if ! compgen -G "$work/debs/${package}_*.deb" >/dev/null; then
    # An index that does not know the package yet is brought up to date.
    (cd "$work/debs" && apt-get download -qq "$package") || {
      apt-get update -qq || true
      (cd "$work/debs" && apt-get download -qq "$package")
    }
  fi
  [ -e "$work/unpacked/$package.done" ] && continue
  for deb in "$work/debs/${package}"_*.deb; do dpkg -x "$deb" "$work/unpacked/$package"; done
  touch "$work/unpacked/$package.done"
done

# The audio files among them whose extensions the library takes; the tree
# links to them round-robin until it holds the number asked for, a hundred
# links to a folder.
tree=$work/tree
rm -rf "$tree"
mkdir -p "$tree"
mapfile -d '' sources < <(find "$work/unpacked" -type f \( -iname '*.mp3' -o -iname '*.flac' -o -iname '*.ogg' \
  -o -iname '*.oga' -o -iname '*.opus' -o -iname '*.wma' -o -iname '*.m4a' -o -iname '*.m4b' -o -iname '*.m4r' \) \
  -print0 | sort -z)
[ ${#sources[@]} -gt 0 ] || { echo "bench/real_files.sh: the packages hold no audio the library takes" >&2; exit 1; }
printf '%s\0' "${sources[@]}" | /usr/bin/python3 -c '
import os, sys
tree, wanted = sys.argv[1], int(sys.argv[2])
sources = sys.stdin.buffer.read().split(b"\0")[:-1]
for i in range(wanted):
    folder = os.path.join(tree.encode(), b"%d" % (i // 100))
    if i % 100 == 0:
        os.mkdir(folder)
    source = sources[i % len(sources)]
    os.link(source, os.path.join(folder, b"%d-" % i + os.path.basename(source)))
' "$tree" "$wanted"
distinct=$(printf '%s\0' "${sources[@]}" | xargs -0 cat | wc -c)
echo "real files: $wanted links to ${#sources[@]} distinct audio files ($((distinct / 1024)) KiB) of ${packages[*]}"

# Both sides read from the page cache: one pass over the files first.
printf '%s\0' "${sources[@]}" | xargs -0 cat >/dev/null

now() { date +%s.%N; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", n / s }'; }
verdict() { awk -v f="$1" -v floor="$2" -v more="$3" 'BEGIN {
  ok = more ? f + 0 >= floor + 0 : f + 0 <= floor + 0; print ok ? "holds" : "misses" }'; }

# The peer: a Python loop that reads each file's tags and nothing more.
start=$(now)
/usr/bin/python3 - "$tree" <<'PY'
import os, sys
import mutagen
count = 0
for folder, _, names in os.walk(sys.argv[1]):
    for name in names:
        audio = mutagen.File(os.path.join(folder, name))
        if audio is not None and audio.tags is not None:
            dict(audio.tags)
        count += 1
print("mutagen read the tags of %d files" % count)
PY
mutagen_seconds=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
mutagen_rate=$(rate "$wanted" "$mutagen_seconds")

library=$work/library
rm -rf "$library"
mkdir -p "$library"
ini=$library/velmaro.ini
start=$(now)
"$velmaro" --ini "$ini" put "$tree" >"$work/put.txt"
put_seconds=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
put_rate=$(rate "$wanted" "$put_seconds")
head -n 1 "$work/put.txt"

# ls and ls -l of Titles, each the best of three runs.
best() {  # best ARGS...: the shortest of three runs of velmaro ARGS, in seconds
  local run start seconds shortest=""
  for run in 1 2 3; do
    start=$(now)
    "$velmaro" --ini "$ini" "$@" >/dev/null
    seconds=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
    shortest=$(awk -v s="$seconds" -v m="$shortest" 'BEGIN { print (m == "" || s < m) ? s : m }')
  done
  echo "$shortest"
}
titles=$("$velmaro" --ini "$ini" ls /Titles | wc -l)
ls_seconds=$(best ls /Titles)
long_seconds=$(best ls -l /Titles)

printf 'velmaro put: %d files in %.2f s, %d files/s\n' "$wanted" "$put_seconds" "$put_rate"
printf 'mutagen tag reading: %d files in %.2f s, %d files/s\n' "$wanted" "$mutagen_seconds" "$mutagen_rate"
printf 'ls /Titles (%d entries): %.3f s; ls -l /Titles: %.3f s\n' "$titles" "$ls_seconds" "$long_seconds"

put_floor=$(awk -v r="$mutagen_rate" 'BEGIN { printf "%.0f", 1.5 * r }')
echo "TARGET velmaro put of $wanted real files: $put_rate files/s, floor $put_floor files/s" \
  "(1.5 x mutagen's $mutagen_rate): $(verdict "$put_rate" "$put_floor" 1)"
ratio=$(awk -v l="$long_seconds" -v s="$ls_seconds" 'BEGIN { printf "%.2f", l / s }')
echo "TARGET ls -l against ls of /Titles ($titles entries): ${ratio}x, floor 2x: $(verdict "$ratio" 2 0)"
