#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR). Arguments: the targets to build
# (default all); arguments starting with -D go to CMake's configure step instead.
# A first configure uses ccache when it is installed, so later builds of other trees
# (a fresh clone, the sanitizer stages) reuse compiled objects.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake_args=()
targets=()
for arg in "$@"; do
  case $arg in
    -D*) cmake_args+=("$arg") ;;
    *) targets+=(--target "$arg") ;;
  esac
done
if [ ! -f "$build_dir/CMakeCache.txt" ] && command -v ccache >/dev/null; then
  cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
