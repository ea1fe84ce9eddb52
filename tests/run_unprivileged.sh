#!/bin/sh
# Runs a test executable as the unprivileged user nobody, so that cases about
# files without read permission mean something when the suite runs as root.
# Exit 77 (skipped) when that is not possible here.
set -u
bin="$1"; shift
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the unprivileged cases already ran in the normal test run"; exit 77
fi
if ! command -v setpriv >/dev/null 2>&1; then
  echo "setpriv is missing: cannot drop to nobody"; exit 77
fi
run="setpriv --reuid=65534 --regid=65534 --clear-groups"
if ! $run test -x "$bin"; then
  echo "nobody cannot reach $bin (a parent directory is private): skipped"; exit 77
fi
exec env TMPDIR=/tmp $run "$bin" "$@"
