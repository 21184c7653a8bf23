#!/usr/bin/env bash
# The library packages as a developer uses them: libmsiengine1 and
# libmsiengine-dev unpacked (with msi-tools) into a scratch root, the
# shared library's name and exports checked, and the example program built
# with pkg-config against them and run on a corpus package. Exit status 77
# means a tool or the corpus is missing (the test skips; with CI=true a
# missing corpus fails).
#   library_test.sh --debs=DIR --scratch=DIR --version=DEBIAN_VERSION
#                   --package=CORPUS.msi [--cc=COMPILER] [--client-flag=FLAG]...
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=limits.sh
source "$(dirname "$0")/limits.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }
need() {  # need PROGRAM DEBIAN_PACKAGE
  type -P "$1" >/dev/null 2>&1 && return 0
  echo "SKIP: $1 is not installed (Debian package $2)"
  exit 77
}

debs="" scratch="" version="" package="" cc=cc
client_flags=()
for arg in "$@"; do
  case "$arg" in
    --debs=*) debs=${arg#*=} ;;
    --scratch=*) scratch=${arg#*=} ;;
    --version=*) version=${arg#*=} ;;
    --package=*) package=${arg#*=} ;;
    --cc=*) cc=${arg#*=} ;;
    --client-flag=*) client_flags+=("${arg#*=}") ;;
    *) fail "unknown argument $arg" ;;
  esac
done
[ -n "$debs" ] && [ -n "$scratch" ] && [ -n "$version" ] && [ -n "$package" ] ||
  fail "missing arguments"
need dpkg-deb dpkg
need pkg-config pkg-config
need objdump binutils
need nm binutils
need "$cc" gcc

arch=$(dpkg --print-architecture)
lib_deb=$debs/libmsiengine1_${version}_$arch.deb
dev_deb=$debs/libmsiengine-dev_${version}_$arch.deb
tools_deb=$debs/msi-tools_${version}_$arch.deb
for deb in "$lib_deb" "$dev_deb" "$tools_deb"; do
  [ -f "$deb" ] || fail "$deb is missing (made by the packaging_deb test)"
done
rm -rf "$scratch" && mkdir -p "$scratch" || exit 1
root=$scratch/root

echo "== control fields"
field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$lib_deb" Section)" = libs ] || fail "libmsiengine1 is not in section libs"
[ "$(field "$dev_deb" Section)" = libdevel ] || fail "libmsiengine-dev is not in section libdevel"
grep -q 'libc6 (>=' <<<"$(field "$lib_deb" Depends)" ||
  fail "libmsiengine1 Depends lacks libc6: $(field "$lib_deb" Depends)"
grep -qF "libmsiengine1 (= $version)" <<<"$(field "$dev_deb" Depends)" ||
  fail "libmsiengine-dev does not depend on its very library: $(field "$dev_deb" Depends)"
mkdir -p "$scratch/control" && dpkg-deb -e "$lib_deb" "$scratch/control" || exit 1
shlibs=$(cat "$scratch/control/shlibs" 2>/dev/null)
[ "$shlibs" = "libmsiengine 1 libmsiengine1 (>= $version)" ] ||
  fail "libmsiengine1's shlibs file says: $shlibs"
grep -qx 'activate-noawait ldconfig' "$scratch/control/triggers" 2>/dev/null ||
  fail "libmsiengine1 does not trigger ldconfig"

echo "== contents"
for deb in "$lib_deb" "$dev_deb" "$tools_deb"; do
  dpkg -x "$deb" "$root" || fail "dpkg -x $deb failed"
done
libdir=$(dirname "$(cd "$root" && find usr/lib -name libmsiengine.so.1)")
[ "$libdir" != . ] || fail "no libmsiengine.so.1 in the packages"
# Each file in the package a developer expects it in.
while read -r deb path; do
  dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -qx "\./$path" ||
    fail "$(basename "$deb") lacks /$path"
done <<EOT
$lib_deb $libdir/libmsiengine.so.1
$lib_deb $libdir/libmsiengine.so.${version%-*}
$lib_deb usr/share/doc/libmsiengine1/copyright
$dev_deb $libdir/libmsiengine.so
$dev_deb usr/include/msiengine/msiquery.h
$dev_deb $libdir/pkgconfig/msiengine.pc
$dev_deb usr/share/doc/libmsiengine-dev/examples/msi-tables.c
$dev_deb usr/share/doc/libmsiengine-dev/copyright
EOT
library=$root/$libdir/libmsiengine.so.1
[ "$(readlink "$root/$libdir/libmsiengine.so")" = libmsiengine.so.1 ] ||
  fail "the link libmsiengine.so does not point at libmsiengine.so.1"

echo "== the shared library"
soname=$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = libmsiengine.so.1 ] || fail "soname is '$soname'"
# Defined dynamic symbols without their version, the version node aside.
nm -D --defined-only "$library" | awk '$2 != "A" { sub(/@.*/, "", $3); print $3 }' |
  sort -u >"$scratch/exported"
grep -v '^Msi' "$scratch/exported" >"$scratch/stray"
[ ! -s "$scratch/stray" ] || fail "exported beside the Msi* functions: $(head -20 "$scratch/stray")"
# The public header and the exports must name the same functions.
sed -nE 's/^[A-Za-z_][A-Za-z0-9_ *]*[ *](Msi[A-Za-z0-9_]+)\(.*/\1/p' \
  "$root"/usr/include/msiengine/*.h | sort -u >"$scratch/declared"
diff "$scratch/declared" "$scratch/exported" >"$scratch/declared.diff" || {
  cat "$scratch/declared.diff"
  fail "declared (<) and exported (>) functions differ"
}
echo "$(wc -l <"$scratch/exported") functions exported, all Msi*"

echo "== a program built with pkg-config"
export PKG_CONFIG_SYSROOT_DIR=$root
export PKG_CONFIG_LIBDIR=$root/$libdir/pkgconfig
export PKG_CONFIG_ALLOW_SYSTEM_LIBS=1 PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1
[ "$(pkg-config --modversion msiengine)" = "${version%-*}" ] ||
  fail "pkg-config gives version $(pkg-config --modversion msiengine)"
flags=$(pkg-config --cflags --libs msiengine) || fail "pkg-config does not know msiengine"
echo "pkg-config --cflags --libs msiengine: $flags"
client=$scratch/msi-tables
# shellcheck disable=SC2086  # the flags are words
limited 120 "$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror "${client_flags[@]}" \
  -o "$client" "$root/usr/share/doc/libmsiengine-dev/examples/msi-tables.c" $flags ||
  fail "the example does not build"
needed=$(objdump -p "$client" | awk '$1 == "NEEDED" { print $2 }')
grep -qx libmsiengine.so.1 <<<"$needed" || fail "the program does not need libmsiengine.so.1: $needed"

export LD_LIBRARY_PATH=$root/$libdir
err=$(limited 60 "$client" "$scratch/none.msi" 2>&1 >/dev/null)
status=$?
[ $status -eq 1 ] || fail "the program on a missing package exited with $status"
grep -Eq "^msi-tables: .*none\.msi: error [0-9]+: .+" <<<"$err" || fail "error text: $err"

if [ ! -f "$package" ]; then
  [ "${CI:-}" = true ] && fail "corpus package $package is missing"
  echo "SKIP: corpus package $package is missing; the run on it is left out"
  exit 77
fi
echo "== on $(basename "$package")"
limited 60 "$client" "$package" >"$scratch/tables.txt" || fail "the program exited with $?"
# What it must print, found by the packaged msisql (the engine linked in).
msisql=$root/usr/bin/msisql
{
  limited 60 "$msisql" "$package" 'SELECT `Name` FROM `_Tables`' | tail -n +2 |
    while IFS= read -r table; do
      rows=$(limited 60 "$msisql" "$package" "SELECT * FROM \`$table\`" | tail -n +2 | wc -l)
      printf '%s\t%s\n' "$table" "$rows"
    done
  for property in ProductName ProductVersion; do
    limited 60 "$msisql" "$package" "SELECT \`Value\` FROM \`Property\` WHERE \`Property\` = '$property'" |
      tail -n +2 | sed "s/^/$property: /"
  done
} >"$scratch/expected.txt"
diff "$scratch/expected.txt" "$scratch/tables.txt" || fail "the program's listing differs"
[ "$(wc -l <"$scratch/tables.txt")" -gt 10 ] || fail "the listing is too short to mean anything"
cat "$scratch/tables.txt"
echo "PASS: the library packages"
