#!/usr/bin/env bash
# Builds the Debian packages, unpacks msi-tools into a scratch folder and
# runs the unpacked programs the way a user would after installing it (the
# library packages have a test of their own). Exit status 77 means a tool
# is missing (the test skips).
#   deb_test.sh --cpack=CPACK --config=CPackConfig.cmake --scratch=DIR
#               --sample=PACKAGE.msi --version=DEBIAN_VERSION
#               [--built-pellacor=PROGRAM] --program=NAME...
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=limits.sh
source "$(dirname "$0")/limits.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }
need() {  # need PROGRAM DEBIAN_PACKAGE
  type -P "$1" >/dev/null 2>&1 && return 0
  echo "SKIP: $1 is not installed (Debian package $2)"
  exit 77
}

cpack="" config="" scratch="" sample="" version="" built_pellacor=""
programs=()
for arg in "$@"; do
  case "$arg" in
    --cpack=*) cpack=${arg#*=} ;;
    --config=*) config=${arg#*=} ;;
    --scratch=*) scratch=${arg#*=} ;;
    --sample=*) sample=${arg#*=} ;;
    --version=*) version=${arg#*=} ;;
    --built-pellacor=*) built_pellacor=${arg#*=} ;;
    --program=*) programs+=("${arg#*=}") ;;
    *) fail "unknown argument $arg" ;;
  esac
done
[ -n "$cpack" ] && [ -n "$config" ] && [ -n "$scratch" ] && [ -n "$sample" ] &&
  [ -n "$version" ] || fail "missing arguments"
has_program() {
  local p
  for p in "${programs[@]}"; do [ "$p" = "$1" ] && return 0; done
  return 1
}

need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
[ -f "$sample" ] || fail "sample package $sample is missing (target sample_brimble_notes)"

rm -rf "$scratch" && mkdir -p "$scratch" || exit 1
out=$scratch/out root=$scratch/root run=$scratch/run

echo "== building the packages"
limited 300 "$cpack" --config "$config" -G DEB -B "$out" >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log"
  fail "cpack failed"
}
(cd "$out" && ls -- *.deb)
for name in msi-tools libmsiengine1 libmsiengine-dev; do
  [ -f "$out/${name}_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "cpack made no package $name $version"
done
deb=$(echo "$out"/msi-tools_*.deb)

echo "== control fields"
field() { dpkg-deb -f "$deb" "$1"; }
dpkg-deb -I "$deb" control
[ "$(field Package)" = msi-tools ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "version is '$(field Version)', not $version"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
depends=$(field Depends)
# dpkg-shlibdeps must have found the C and C++ run-time libraries.
grep -q 'libc6 (>=' <<<"$depends" || fail "Depends lacks libc6: $depends"
grep -q 'libstdc++6 (>=' <<<"$depends" || fail "Depends lacks libstdc++6: $depends"
if has_program vintrel; then
  grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends lacks Qt: $depends"
  grep -q 'qt6-qpa-plugins' <<<"$depends" || fail "Depends lacks the Qt platform plugins: $depends"
fi
[ "$(field Description | wc -l)" -gt 3 ] || fail "the description has no long text"

echo "== contents"
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | grep -v '^d' || true
mkdir -p "$root" && dpkg -x "$deb" "$root" || fail "dpkg -x failed"
expect() { [ -e "$root/$1" ] || fail "the package lacks /$1"; }
for p in "${programs[@]}"; do
  [ -x "$root/usr/bin/$p" ] || fail "the package lacks /usr/bin/$p"
  expect "usr/share/man/man1/$p.1.gz"
  gzip -t "$root/usr/share/man/man1/$p.1.gz" || fail "$p.1.gz is not gzip"
done
for p in pellacor vintrel; do
  has_program $p || continue
  expect "usr/share/applications/$p.desktop"
  expect "usr/share/icons/hicolor/scalable/apps/$p.svg"
  for size in 16 32 48 256; do
    png=usr/share/icons/hicolor/${size}x${size}/apps/$p.png
    expect "$png"
    # The size in the folder name must be the image's own (PNG IHDR).
    dims=$(od -An -tu1 -j16 -N8 "$root/$png" | awk '{ print $3*256+$4 "x" $7*256+$8 }')
    [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
  done
  # What the menu and the file manager start must be in the package.
  exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$p.desktop")
  [ -x "$root/usr/bin/${exec_line%% *}" ] || fail "$p.desktop starts '$exec_line'"
done
expect usr/share/mime/packages/msi-tools.xml
expect usr/share/doc/msi-tools/copyright
expect usr/share/doc/msi-tools/changelog.Debian.gz
top=$(gzip -dc "$root/usr/share/doc/msi-tools/changelog.Debian.gz" | head -n 1)
[[ "$top" == "msi-tools ($version) "* ]] ||
  fail "the changelog's latest entry is not $version: $top"
# Nothing of the build (libraries, headers, tests) may leak in.
stray=$(cd "$root" && find . -type f ! -path './usr/bin/*' ! -path './usr/share/*')
[ -z "$stray" ] || fail "unexpected files: $stray"

export QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

if has_program pellacor; then
  echo "== pellacor on the sample"
  # A name with a blank, as a file manager hands it over (one argument).
  mkdir -p "$run"
  package="$run/Brimble Notes.msi"
  report="$run/Brimble Notes.html"
  cp "$sample" "$package" || exit 1
  timeout 60 "$root/usr/bin/pellacor" "$package" || fail "pellacor exited with $?"
  [ -f "$report" ] || fail "pellacor wrote no report beside the package"
  [ "$(head -c 14 "$report")" = $'<HTML>\r\n<HEAD>' ] ||
    fail "the report does not start with its head: $(head -c 40 "$report" | od -c | head -3)"
  grep -qF "<TITLE>SETUP REPORT - $package</TITLE>" "$report" ||
    fail "the report's title does not name the package"
  grep -qF '<H1>Brimble Notes build 2.4.1</H1>' "$report" ||
    fail "the report lacks the product heading"
  tail -c 9 "$report" | cmp -s - <(printf '</HTML>\r\n') ||
    fail "the report is not complete"
  if grep -q '^Error: ' "$report"; then
    grep '^Error: ' "$report"
    fail "the report of the sample has error lines"
  fi
  leftovers=$(find "$run" -mindepth 1 ! -name 'Brimble Notes.msi' ! -name 'Brimble Notes.html')
  [ -z "$leftovers" ] || fail "pellacor left files behind: $leftovers"
  wc -c "$report"
  mv "$report" "$scratch/packaged.html"
  if [ -n "$built_pellacor" ]; then
    timeout 60 "$built_pellacor" "$package" || fail "the built pellacor exited with $?"
    cmp "$scratch/packaged.html" "$report" ||
      fail "the packaged pellacor writes another report than the built one"
    rm -f "$report"
  fi

  # Started from the file manager: through the desktop entry's command, on
  # a display, where the progress window shows; it must end by itself once
  # the report is written.
  if command -v xvfb-run >/dev/null 2>&1; then
    echo "== pellacor from its desktop entry, on a display"
    exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/pellacor.desktop")
    [ "$exec_line" = "pellacor %f" ] || fail "pellacor.desktop runs '$exec_line'"
    # Under LeakSanitizer: the window system's libraries keep allocations
    # to the end of the process; leaks of the program itself still count.
    printf 'leak:libdbus-1.so\nleak:libfontconfig.so\nleak:libxcb\n' >"$scratch/lsan.supp"
    (unset QT_QPA_PLATFORM
     export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$scratch/lsan.supp"
     xvfb-run -a -s "-screen 0 1024x768x24" \
       timeout 60 "$root/usr/bin/pellacor" "$package" >"$scratch/window.log" 2>&1)
    status=$?
    [ $status -eq 0 ] || { cat "$scratch/window.log"; fail "pellacor on a display ended with $status"; }
    cmp "$scratch/packaged.html" "$report" ||
      fail "pellacor on a display writes another report"

    echo "== pellacor on a missing package, on a display"
    # The error waits in a message box until the user closes it: the
    # program must say it and still be running when the time is up.
    (unset QT_QPA_PLATFORM
     export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$scratch/lsan.supp"
     xvfb-run -a -s "-screen 0 1024x768x24" \
       timeout 15 "$root/usr/bin/pellacor" "$run/Missing.msi" >"$scratch/missing.log" 2>&1)
    status=$?
    cat "$scratch/missing.log"
    [ $status -eq 124 ] || fail "pellacor on a missing package ended with $status, not in a message box"
    grep -qx 'Pellacor: run-time error 53: File not found' "$scratch/missing.log" ||
      fail "pellacor did not report the missing package on standard error"
    [ ! -e "$run/Missing.html" ] || fail "pellacor wrote a report of a missing package"
  else
    echo "note: xvfb-run is not installed (Debian package xvfb); the run on a display is left out"
  fi
fi

if has_program msisql; then
  echo "== msisql on the sample"
  msisql=$root/usr/bin/msisql
  rows=$(limited 60 "$msisql" "$sample" \
         "SELECT \`Property\`, \`Value\` FROM \`Property\` WHERE \`Property\` = 'ProductName'") ||
    fail "msisql exited with $?"
  [ "$rows" = $'Property\tValue\nProductName\tBrimble Notes' ] ||
    fail "msisql printed: $rows"
  limited 60 "$msisql" --help | grep -q '^Usage: msisql' || fail "msisql --help"
  # A failure must show in the status and name the result code.
  err=$(limited 60 "$msisql" "$sample" "SELECT * FROM \`NoSuchTable\`" 2>&1 >/dev/null)
  status=$?
  [ $status -eq 1 ] || fail "msisql on a bad statement exited with $status"
  grep -q '^msisql: error [0-9]' <<<"$err" || fail "msisql error text: $err"
  echo "$err"
fi

if has_program msiunpack; then
  echo "== msiunpack on the sample"
  msiunpack=$root/usr/bin/msiunpack
  "$msiunpack" --help | grep -q '^Usage: msiunpack' || fail "msiunpack --help"
  "$msiunpack" --list "$sample" >"$scratch/msiunpack.list" || fail "msiunpack --list exited with $?"
  err=$("$msiunpack" "$scratch/no-such.msi" "$scratch/image" 2>&1)
  [ $? -eq 1 ] || fail "msiunpack on a missing package did not exit with 1"
  grep -q '^msiunpack: .*error 110' <<<"$err" || fail "msiunpack error text: $err"
fi

if has_program msivalidate; then
  echo "== msivalidate on the sample"
  msivalidate=$root/usr/bin/msivalidate
  limited 60 "$msivalidate" --help | grep -q '^Usage: msivalidate' || fail "msivalidate --help"
  # Into a file: grep -q would stop reading at the first match and the
  # writer could die of SIGPIPE.
  limited 60 "$msivalidate" --list >"$scratch/msivalidate.list" || fail "msivalidate --list exited with $?"
  grep -q '^ICE03 ' "$scratch/msivalidate.list" || fail "msivalidate --list has no ICE03"
  limited 60 "$msivalidate" "$sample" >"$scratch/msivalidate.out"
  status=$?
  [ $status -le 1 ] || fail "msivalidate on the sample exited with $status"
  grep -q 'errors\?, [0-9]* warnings\?' "$scratch/msivalidate.out" || fail "msivalidate printed no summary"
  err=$(limited 60 "$msivalidate" "$scratch/no-such.msi" 2>&1)
  [ $? -eq 3 ] || fail "msivalidate on a missing package did not exit with 3"
  grep -q '^msivalidate: .*error 110' <<<"$err" || fail "msivalidate error text: $err"
fi

if has_program vintrel; then
  echo "== vintrel starts"
  # An interactive dialog: it must still be up after a few seconds, not
  # refused by the loader or crashed.
  (cd "$scratch" && timeout 3 "$root/usr/bin/vintrel" >"$scratch/vintrel.log" 2>&1)
  status=$?
  [ $status -eq 124 ] || { cat "$scratch/vintrel.log"; fail "vintrel ended with $status"; }
fi

echo "PASS: $(basename "$deb")"
