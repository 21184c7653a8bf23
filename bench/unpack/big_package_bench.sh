#!/usr/bin/env bash
# msiunpack beside cabextract (on the same cabinet, left beside the package
# by make_unpack_package.sh) and msiextract, on the generated package and
# any further packages given: best wall time of RUNS runs, the three taking
# turns, and peak resident memory. Needs GNU time (Debian package time),
# cabextract and msitools.
#   big_package_bench.sh MSIUNPACK RUNS BIG.msi [PACKAGE...]
set -euo pipefail
msiunpack=$1 runs=$2 big=$3
shift 3
for tool in /usr/bin/time cabextract msiextract; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$big" ] || "$here/make_unpack_package.sh" "$big"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {  # measure COMMAND... -> "seconds kilobytes" of one run into an empty folder
  rm -rf "$work/out" && mkdir "$work/out"
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$work/time"  # GNU time first notes a non-zero exit on a line of its own
}
best() {  # best LABEL COMMAND...: the best time and the largest peak of RUNS runs
  local t m best_t="" peak=0
  for _ in $(seq "$runs"); do
    read -r t m <<<"$(measure "${@:2}")"
    if [ -z "$best_t" ] || awk -v a="$t" -v b="$best_t" 'BEGIN { exit !(a < b) }'; then best_t=$t; fi
    [ "$m" -gt "$peak" ] && peak=$m
  done
  printf ' %s s | %s MB |' "$best_t" "$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')"
}

echo "| package | msiunpack | peak | cabextract | peak | msiextract | peak |"
echo "|---|---:|---:|---:|---:|---:|---:|"
row() {  # row PACKAGE [CABINET]
  local line="| $(basename "$1") |"
  line+=$(best msiunpack "$msiunpack" --quiet "$1" "$work/out")
  if [ -n "${2:-}" ]; then line+=$(best cabextract cabextract -q -d "$work/out" "$2"); else line+=" | |"; fi
  line+=$(best msiextract msiextract -C "$work/out" "$1")
  echo "$line"
}
row "$big" "$(dirname "$big")/$(basename "$big" .msi).cab"
for package in "$@"; do row "$package"; done
