#!/usr/bin/env bash
# Times msiunpack against msitools' msiextract on the same packages in one
# run: each run a fresh process into an empty folder, the two programs
# taking turns. Prints a Markdown table of medians (min-max) in ms.
#   unpack_bench.sh MSIUNPACK RUNS PACKAGE...
set -euo pipefail
msiunpack=$1 runs=$2
shift 2
command -v msiextract >/dev/null || { echo "msiextract is not installed (Debian package msitools)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

TIMEFORMAT='%R %U %S'
time_one() {  # time_one COMMAND... -> "wall_ms cpu_ms" on stdout
  rm -rf "$work/out"
  { time "$@" >/dev/null 2>&1; } 2>"$work/time" || true
  awk '{ printf "%.0f %.0f", $1 * 1000, ($2 + $3) * 1000 }' "$work/time"
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%s (%s-%s)", a[int((NR+1)/2)], a[1], a[NR]}'; }
mid() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "| package | files | bytes | msiunpack wall, ms | msiextract wall, ms | msiunpack CPU, ms | msiextract CPU, ms |"
echo "|---|---:|---:|---:|---:|---:|---:|"
sum_ours=0 sum_theirs=0 cpu_ours=0 cpu_theirs=0
add() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }
for package in "$@"; do
  ours=() theirs=() ours_cpu=() theirs_cpu=()
  for _ in $(seq "$runs"); do
    read -r wall cpu <<<"$(time_one "$msiunpack" --quiet "$package" "$work/out")"
    ours+=("$wall") ours_cpu+=("$cpu")
    read -r wall cpu <<<"$(time_one msiextract -C "$work/out" "$package")"
    theirs+=("$wall") theirs_cpu+=("$cpu")
  done
  rm -rf "$work/out"
  "$msiunpack" --quiet "$package" "$work/out" >/dev/null 2>&1 || true
  files=$(find "$work/out" -type f | wc -l)
  bytes=$(find "$work/out" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  echo "| $(basename "$package") | $files | $bytes | $(median "${ours[@]}") | $(median "${theirs[@]}") |" \
       "$(median "${ours_cpu[@]}") | $(median "${theirs_cpu[@]}") |"
  sum_ours=$(add "$sum_ours" "$(mid "${ours[@]}")")
  sum_theirs=$(add "$sum_theirs" "$(mid "${theirs[@]}")")
  cpu_ours=$(add "$cpu_ours" "$(mid "${ours_cpu[@]}")")
  cpu_theirs=$(add "$cpu_theirs" "$(mid "${theirs_cpu[@]}")")
done
echo "| **total of the medians** | | | **$sum_ours** | **$sum_theirs** | **$cpu_ours** | **$cpu_theirs** |"
