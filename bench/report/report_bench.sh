#!/usr/bin/env bash
# Times the whole report of a package: each run a fresh pellacor process,
# without a window, on a private copy (the report is written beside it).
# Prints the median and range of wall and CPU time.
set -euo pipefail
pellacor=$1 package=$2 runs=${3:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$package" "$work/big.msi"
walls=() cpus=()
TIMEFORMAT='%R %U %S'
for _ in $(seq "$runs"); do
  { time env -u DISPLAY -u WAYLAND_DISPLAY "$pellacor" "$work/big.msi" >/dev/null 2>&1; } 2>"$work/time"
  read -r wall user sys <"$work/time"
  walls+=("$wall")
  cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')")
done
[ -s "$work/big.html" ] || { echo "no report was written" >&2; exit 1; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)] " (" a[1] "-" a[NR] ")"}'; }
echo "| task | runs | wall, s | CPU, s | report bytes |"
echo "|---|---:|---:|---:|---:|"
echo "| whole report of $(basename "$package") | $runs | $(median "${walls[@]}") | $(median "${cpus[@]}") | $(stat -c %s "$work/big.html") |"
