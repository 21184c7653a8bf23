#!/usr/bin/env bash
# validate_bench.sh MSIVALIDATE MSISQL RUNS BIG.msi VALIDATION_SOURCE.msi CORPUS_PACKAGE...
#
# msivalidate with every evaluator: on the big generated package (given a
# _Validation table taken from VALIDATION_SOURCE, so that ICE03 checks each
# of its rows), then on each corpus package. Prints a Markdown table: best
# wall time of RUNS runs, peak resident memory, findings. Needs GNU time.
set -euo pipefail
msivalidate=$1 msisql=$2 runs=$3 big=$4 validation_source=$5
shift 5
[ -x /usr/bin/time ] || { echo "validate_bench: needs GNU time (Debian package time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The big package with putty's column descriptions.
cp "$big" "$work/big.msi"
chmod u+w "$work/big.msi"
mkdir "$work/idt"
"$msisql" --export "$validation_source" "$work/idt" _Validation
"$msisql" --import "$work/big.msi" "$work/idt/_Validation.idt"

measure() {  # measure PACKAGE: "SECONDS KB" of one run (GNU time counts only to 10 ms)
  local start=$EPOCHREALTIME
  /usr/bin/time -f '%M' -o "$work/time" "$msivalidate" "$1" >"$work/out" 2>&1 || true
  local end=$EPOCHREALTIME
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $(tail -n 1 "$work/time")"
}

echo "| package | size | msivalidate (all evaluators) | peak memory | findings |"
echo "|---|---:|---:|---:|---:|"
for package in "$work/big.msi" "$@"; do
  best="" peak=0
  for _ in $(seq "$runs"); do
    read -r t m < <(measure "$package")
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
    [ "$m" -gt "$peak" ] && peak=$m
  done
  findings=$(grep -c '^ICE' "$work/out" || true)
  name=$(basename "$package")
  [ "$package" = "$work/big.msi" ] && name="generated (40,000 files) + _Validation"
  size=$(awk -v b="$(stat -c %s "$package")" 'BEGIN { printf "%d KB", b / 1024 }')
  ms=$(awk -v s="$best" 'BEGIN { printf "%.1f ms", s * 1000 }')
  printf '| %s | %s | %s | %s MB | %s |\n' "$name" "$size" "$ms" \
    "$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')" "$findings"
done
