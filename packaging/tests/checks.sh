#!/usr/bin/env bash
# Checks of the files the package installs, with the tools Debian users
# have for them. Exit status 77 means a tool is missing (the test skips).
#   checks.sh desktop ENTRY...
#   checks.sh mime SCRATCH MIME_XML DESKTOP_ENTRY
#   checks.sh man PAGE...
#   checks.sh lintian DEB_FOLDER
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=limits.sh
source "$(dirname "$0")/limits.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }
need() {  # need PROGRAM DEBIAN_PACKAGE
  type -P "$1" >/dev/null 2>&1 && return 0
  echo "SKIP: $1 is not installed (Debian package $2)"
  exit 77
}

check_desktop() {
  need desktop-file-validate desktop-file-utils
  [ $# -gt 0 ] || fail "no desktop entries given"
  local entry out status=0
  for entry in "$@"; do
    [ -f "$entry" ] || fail "missing $entry"
    # The validator exits 0 on warnings; only hints are acceptable.
    out=$(desktop-file-validate "$entry" 2>&1) || status=1
    if grep -v ': hint: ' <<<"$out" | grep -q .; then
      echo "$out"
      status=1
    fi
  done
  [ $status -eq 0 ] || fail "desktop-file-validate reported problems"
  echo "desktop entries valid: $*"
}

check_mime() {
  local scratch=$1 xml=$2 desktop=$3
  need xmllint libxml2-utils
  xmllint --noout "$xml" || fail "$xml is not well-formed"
  local shared=/usr/share/mime/packages/freedesktop.org.xml
  rm -rf "$scratch" && mkdir -p "$scratch/db/packages" || exit 1
  if [ -f "$shared" ]; then
    # shared-mime-info ships its grammar only as the internal DTD of its
    # own database; validate against that.
    sed -n '/^<!DOCTYPE mime-info \[/,/^\]>/p' "$shared" | sed '1d;$d' \
      >"$scratch/mime-info.dtd"
    grep -q '<!ELEMENT mime-type' "$scratch/mime-info.dtd" ||
      fail "could not read the grammar from $shared"
    xmllint --noout --dtdvalid "$scratch/mime-info.dtd" "$xml" ||
      fail "$xml does not follow the shared-mime-info grammar"
    cp "$shared" "$scratch/db/packages/"
  else
    echo "note: $shared is absent; checked well-formedness only"
  fi
  need update-mime-database shared-mime-info
  cp "$xml" "$scratch/db/packages/"
  update-mime-database "$scratch/db" || fail "update-mime-database failed"
  grep -qx '50:application/x-wsi:\*\.wsi' "$scratch/db/globs2" ||
    fail "*.wsi is not application/x-wsi in the built database"
  grep -qx 'application/x-wsi application/x-ole-storage' "$scratch/db/subclasses" ||
    fail "application/x-wsi is not a kind of application/x-ole-storage"
  grep -aqF '[40:application/x-wsi]' "$scratch/db/magic" ||
    fail "application/x-wsi has no magic in the built database"
  grep -aqF $'\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1' "$scratch/db/magic" ||
    fail "the compound-file signature is missing from the magic"
  # Every type the desktop entry claims must exist once installed.
  local types type
  types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' ')
  [ -n "$types" ] || fail "$desktop names no MIME types"
  for type in $types; do
    if [ -f "$shared" ] || [ "$type" = application/x-wsi ]; then
      [ -f "$scratch/db/$type.xml" ] || fail "$desktop names unknown type $type"
    fi
  done
  echo "MIME definition valid; $desktop opens: $types"
}

check_man() {
  need man man-db
  [ $# -gt 0 ] || fail "no manual pages given"
  local page out status=0
  for page in "$@"; do
    [ -f "$page" ] || fail "missing $page"
    # What lintian runs; any message is a fault in the page.
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
          man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    if [ -n "$out" ]; then
      echo "$page:"
      echo "$out"
      status=1
    fi
    grep -q '^\.SH "\{0,1\}EXIT STATUS' "$page" || {
      echo "$page has no EXIT STATUS section"
      status=1
    }
  done
  [ $status -eq 0 ] || fail "manual pages have problems"
  echo "manual pages format cleanly: $*"
}

check_lintian() {
  local folder=$1
  need lintian lintian
  need dpkg-deb dpkg
  local debs=("$folder"/*.deb)
  [ -f "${debs[0]}" ] || fail "no packages in $folder (made by the packaging_deb test)"
  local out
  out=$(lintian --display-info --tag-display-limit 0 "${debs[@]}" 2>&1)
  local status=$?
  echo "$out"
  if grep -q '^E: ' <<<"$out"; then
    fail "lintian reports errors"
  fi
  # Without errors a non-zero status means lintian could not check them.
  [ $status -eq 0 ] || fail "lintian exited with status $status"
  echo "lintian: no errors in ${debs[*]##*/}"
}

mode=${1:-}
shift || true
case "$mode" in
  desktop) check_desktop "$@" ;;
  mime) check_mime "$@" ;;
  man) check_man "$@" ;;
  lintian) check_lintian "$@" ;;
  *) fail "unknown check '$mode'" ;;
esac
