#!/usr/bin/env bash
# Sets everything up, builds what the run needs, and streams the demo traffic to the console:
# the vessels of samples/rotterdam.csv, every message type once a second, so that names
# show within seconds.
#   scripts/run.sh                   the demo, until Ctrl+C
#   scripts/run.sh --seconds N ...   the demo for N seconds, then a clean stop (exit 0)
#   scripts/run.sh ARGS...           vesgen options added to the demo's, e.g. --output 'TCP*10110'
#   scripts/run.sh --panel           builds vespanel as well and opens it instead
# Only vesgen (and the panel when asked) is built here; scripts/test.sh builds the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=""
panel=false
while (($#)); do
  case $1 in
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --panel) panel=true; shift ;;
    *) break ;;
  esac
done
scripts/install-deps.sh >&2
targets=(vesgen)
$panel && targets+=(vespanel)
# Progress goes to standard error, the sentences alone to standard output.
echo "Building ${targets[*]} into ${BUILD_DIR:-build}/ (the first time takes about two minutes on two cores) ..." >&2
scripts/build.sh "${targets[@]}" >&2
bin=${BUILD_DIR:-build}/bin
$panel && exec "$bin/vespanel"

demo=("$bin/vesgen" --fleet samples/rotterdam.csv --ignore-timings "$@")
# A signal ends vesgen as a stop does, with exit status 0.
[ -n "$seconds" ] && exec timeout --preserve-status "$seconds" "${demo[@]}"
exec "${demo[@]}"
