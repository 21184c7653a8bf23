#!/usr/bin/env bash
# Makes the package of the unpacking benchmark: FILES text files of about
# KB kilobytes each (words drawn from a fixed list with a fixed seed, so
# they compress as text does), in one embedded MSZIP cabinet, which is
# also left beside the package as CABINET for cabextract. Needs gcab and
# msibuild (Debian packages gcab, msitools).
#   make_unpack_package.sh OUT.msi [FILES [KB]]
set -euo pipefail
out=$1 files=${2:-300} kb=${3:-340}
for tool in gcab msibuild; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/cab"
awk -v files="$files" -v bytes=$((kb * 1024)) -v dir="$work/cab" 'BEGIN {
  srand(19)
  for (w = 0; w < 5000; w++) {
    word = ""; n = 2 + int(rand() * 8)
    for (c = 0; c < n; c++) word = word substr("abcdefghijklmnopqrstuvwxyz", 1 + int(rand() * 26), 1)
    words[w] = word
  }
  for (f = 0; f < files; f++) {
    name = sprintf("%s/f%05d", dir, f); size = 0
    while (size < bytes) {
      line = words[int(rand() * 5000)]
      for (i = 1; i < 12; i++) line = line " " words[int(rand() * 5000)]
      print line > name; size += length(line) + 1
    }
    close(name)
  }
}'
(cd "$work/cab" && gcab -c -z "$work/big.cab" f*)

{
  printf 'Directory\tDirectory_Parent\tDefaultDir\ns72\tS72\tl255\nDirectory\tDirectory\n'
  printf 'TARGETDIR\t\tSourceDir\nAPP\tTARGETDIR\tapp\n'
} > "$work/Directory.idt"
{
  printf 'Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath\n'
  printf 's72\tS38\ts72\ti2\tS255\tS72\nComponent\tComponent\n'
  printf 'Main\t{6D1C3A8E-2E4B-4F39-9B0A-5C2D7E1F4A60}\tAPP\t0\t\t\n'
} > "$work/Component.idt"
{
  printf 'File\tComponent_\tFileName\tFileSize\tVersion\tLanguage\tAttributes\tSequence\n'
  printf 's72\ts72\tl255\ti4\tS72\tS20\tI2\ti2\nFile\tFile\n'
  seq=1
  for f in "$work"/cab/f*; do
    key=$(basename "$f")
    printf '%s\tMain\t%s.txt\t%s\t\t\t16384\t%s\n' "$key" "$key" "$(stat -c %s "$f")" "$seq"
    seq=$((seq + 1))
  done
} > "$work/File.idt"
{
  printf 'DiskId\tLastSequence\tDiskPrompt\tCabinet\tVolumeLabel\tSource\n'
  printf 'i2\ti2\tL64\tS255\tS32\tS72\nMedia\tDiskId\n1\t%s\t\t#big.cab\t\t\n' "$files"
} > "$work/Media.idt"
rm -f "$out"
# msibuild takes one option a call.
msibuild "$out" -s "Unpacking benchmark" msiunpack "Intel;1033" "{3F2A1C5B-7D4E-4A8B-9C6D-0E1F2A3B4C5D}"
for table in Directory Component File Media; do msibuild "$out" -i "$work/$table.idt"; done
msibuild "$out" -a big.cab "$work/big.cab"
cp "$work/big.cab" "$(dirname "$out")/$(basename "$out" .msi).cab"
echo "$out: $files files, $(du -k "$work/cab" | cut -f1) KB of text, cabinet $(stat -c %s "$work/big.cab") bytes"
