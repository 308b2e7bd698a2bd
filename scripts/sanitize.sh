#!/usr/bin/env bash
# Builds the emulator's suites with AddressSanitizer + UBSan (build-asan/) and with
# ThreadSanitizer (build-tsan/) and runs them. Any sanitizer report fails the run.
# Arguments: the stages to run, "asan" and/or "tsan" (default both).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

stages=("$@")
((${#stages[@]})) || stages=(asan tsan)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The emulator's suites, one test folder each; the panel is not built.
suites=(encoding model channels fleet app)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

for stage in "${stages[@]}"; do
  case "$stage" in
    asan) option=-DKVL_SANITIZE=ON ;;
    tsan) option=-DKVL_TSAN=ON ;;
    *) echo "unknown stage: $stage (asan, tsan)" >&2; exit 2 ;;
  esac
  dir="build-$stage"
  start=$SECONDS
  # Warnings are the plain build's business: instrumented code draws false ones (GCC 12
  # finds "maybe uninitialized" members inside <regex> under ASan).
  cmake -S . -B "$dir" -DKVL_BUILD_PANEL=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVL_WERROR=OFF \
    "$option" "${launcher[@]}"
  cmake --build "$dir" -j "$(nproc)"
  for suite in "${suites[@]}"; do
    ctest --test-dir "$dir/tests/$suite" --output-on-failure --timeout 300 -j 2 --no-tests=error
  done
  echo "sanitize: $stage took $((SECONDS - start)) s"
done
