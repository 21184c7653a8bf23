# Sourced by the packaging tests: every outside program they run gets a
# time limit, and a hang is reported as one, with its command line, instead
# of running into ctest's timeout with the program still alive.
limited() {  # limited SECONDS COMMAND...
  local seconds=$1 status
  shift
  timeout -k 5 "$seconds" "$@"
  status=$?
  if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    echo "FAIL: hang: '$*' did not finish within $seconds s (killed)" >&2
  fi
  return $status
}
# The programs by name: a function of the same name runs the real one
# (timeout finds it in PATH, not the function) under the limit.
for program in dpkg dpkg-deb dpkg-shlibdeps lintian xmllint update-mime-database \
               desktop-file-validate man objdump pkg-config; do
  eval "$program() { limited 180 $program \"\$@\"; }"
done
