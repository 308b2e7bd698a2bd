#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs each for
# FUZZ_SECONDS seconds (default 30) from its seed corpus in fuzz/corpus/<name>/.
# A crash, a sanitizer report or a broken property fails the run; the input that did it
# is kept as build-fuzz/findings/<name>-crash-... Arguments: the targets to run (default all).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-14 libclang-rt-14-dev

seconds=${FUZZ_SECONDS:-30}
targets=("$@")
((${#targets[@]})) || targets=(classify_output tcp_port_text update_reply split_command_line nmea_reader scenario_json gpx_route)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Warnings are the plain build's business; clang 14 has false ones of its own (a call
# through the interface from a destructor of the class that overrides it).
dir=build-fuzz
cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKVL_FUZZ=ON -DKVL_BUILD_PANEL=OFF -DBUILD_TESTING=OFF -DKVL_WERROR=OFF "${launcher[@]}"
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$dir/findings"
for name in "${targets[@]}"; do
  # New inputs go to the first folder; the committed seeds are only read.
  mkdir -p "$dir/corpus/$name"
  echo "fuzz: $name for $seconds s"
  "$dir/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$dir/findings/$name-" "$dir/corpus/$name" "fuzz/corpus/$name"
done
