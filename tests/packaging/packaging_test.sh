#!/usr/bin/env bash
# packaging_test.sh CASE BUILD_DIR VERSION
set -uo pipefail
case_name=$1 build=$2 version=$3
bin=$build/bin
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$bin/vesgen" ] || { echo "FAIL: no vesgen in $bin"; exit 1; }

case $case_name in
version)
  # --version answers even while another vesgen holds the lock, so it never takes it.
  exec 9>"$work/6c1f0a52-93be-4d7e-a1c4-2b8e5f7d9013"
  flock -n 9 || fail "cannot take the lock for the test"
  for args in "--version" "--nmea-domsg1 --output $work/never.txt --version"; do
    out=$(TMPDIR=$work "$bin/vesgen" $args 2>"$work/err"); rc=$?
    [ "$out" = "KVL AIS Emulator $version" ] || fail "vesgen $args printed '$out'"
    [ $rc -eq 0 ] || fail "vesgen $args exit $rc"
    [ ! -s "$work/err" ] || fail "vesgen $args wrote to stderr: $(cat "$work/err")"
  done
  [ ! -e "$work/never.txt" ] || fail "vesgen --version opened its output"
  help=$(TMPDIR=$(mktemp -d -p "$work") "$bin/vesgen" --help)
  grep -q -- '^  --version' <<<"$help" || fail "--help does not list --version"
  if [ -x "$bin/vespanel" ]; then
    out=$("$bin/vespanel" --version); rc=$?
    [ "$out" = "KVL AIS Emulator $version" ] && [ $rc -eq 0 ] || fail "vespanel --version printed '$out', exit $rc"
    # The icon hook refuses sizes it cannot draw and paths it cannot write, and says so.
    for args in "$work/icon.png 8" "$work/icon.png abc" "$work/no/such/icon.png 64"; do
      "$bin/vespanel" --write-icon $args 2>"$work/err" && fail "vespanel --write-icon $args succeeded"
      [ -s "$work/err" ] || fail "vespanel --write-icon $args said nothing"
    done
    [ ! -e "$work/icon.png" ] || fail "a refused icon was written"
  fi
  ;;
completion)
  script=$build/packaging/vesgen.bash-completion
  [ -f "$script" ] || { echo "FAIL: no $script"; exit 1; }
  complete_line() {  # words of a command line, the last one being completed
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
    _vesgen vesgen "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
  }
  # shellcheck source=/dev/null
  source "$script"
  complete -p vesgen | grep -q -- '-F _vesgen' || fail "complete -p vesgen: $(complete -p vesgen 2>&1)"
  help_names=$(TMPDIR=$work "$bin/vesgen" --help | grep -o '^  -h \[ --help \]\|^  --[a-z0-9-]*' | sed 's/.*\(--[a-z0-9-]*\).*/\1/' | sort | tr '\n' ' ')
  [ "$(complete_line vesgen --)" = "$help_names" ] || fail "-- offers '$(complete_line vesgen --)', help has '$help_names'"
  nm=$(complete_line vesgen --nm)
  [ "$nm" = "$(printf '%s\n' $help_names | grep '^--nm' | tr '\n' ' ')" ] && [[ $nm == *--nmea-domsg1* ]] || fail "--nm offers '$nm'"
  cd "$work" && mkdir logs && touch "log one.txt"
  got=$(complete_line vesgen --output "")
  for want in CON COM1 'TCP*' 'UDP*' 'log one.txt' logs; do
    [[ " $got" == *" $want "* ]] || fail "--output <Tab> lacks '$want': '$got'"
  done
  [ "$(complete_line vesgen --output T)" = "TCP* " ] || fail "--output T offers '$(complete_line vesgen --output T)'"
  [ "$(complete_line vesgen --vessel-name "")" = " " ] || fail "a value of --vessel-name got options"
  got=$(complete_line vesgen --fleet "")
  [[ " $got" == *" log one.txt "* && " $got" == *" logs "* && " $got" != *" CON "* ]] || fail "--fleet <Tab> offers '$got'"
  # File options come from the help text and a list of names, whichever the program has.
  fake=$work/fake-vesgen
  printf '%s\n' '#!/bin/sh' 'cat <<HELP' 'Allowed options:' '  -h [ --help ]     help' \
    '  --output arg      Save output as file name' '  --scenario arg    Scenario' \
    '  --track-out arg   Where the track goes (a GPX' '                    file)' '  --fleet-seed arg  Seed' \
    '  --nmea-domsg1 [=arg(=1)]  Message 1 (a file of' '                    sentences)' 'HELP' 'exit 255' >"$fake"
  chmod +x "$fake"
  sh "$(dirname "$0")/../../packaging/make-completion.sh" "$fake" "$work/fake.bash" || fail "make-completion.sh on a fake help"
  unset -f _vesgen
  source "$work/fake.bash"
  for option in --scenario --track-out; do
    got=$(complete_line vesgen "$option" lo)
    [ "$got" = "log one.txt logs " ] || fail "$option lo<Tab> offers '$got'"
  done
  [ "$(complete_line vesgen --fleet-seed lo)" = " " ] || fail "--fleet-seed got file names"
  [ "$(complete_line vesgen --nmea-domsg1 lo)" = " " ] || fail "a flag got file names"
  ;;
layout)
  cmake --install "$build" --prefix "$work/stage" >/dev/null || fail "cmake --install"
  for f in bin/vesgen share/man/man1/vesgen.1.gz share/bash-completion/completions/vesgen \
           share/doc/vesgen/copyright share/doc/vesgen/README.md; do
    [ -f "$work/stage/$f" ] || fail "missing $f"
  done
  if [ -x "$bin/vespanel" ]; then
    for f in bin/vespanel share/man/man1/vespanel.1.gz share/applications/vespanel.desktop \
             share/icons/hicolor/48x48/apps/vespanel.png share/icons/hicolor/256x256/apps/vespanel.png; do
      [ -f "$work/stage/$f" ] || fail "missing $f"
    done
    file "$work/stage/share/icons/hicolor/256x256/apps/vespanel.png" | grep -q '256 x 256' || fail "icon size"
    desktop-file-validate "$work/stage/share/applications/vespanel.desktop" || fail "desktop entry"
  fi
  # The installed README names the installed programs and sample fleets.
  readme=$work/stage/share/doc/vesgen/README.md
  [ -f "$work/stage/share/doc/vesgen/examples/rotterdam.csv" ] || fail "no sample fleets in share/doc/vesgen/examples"
  ! grep -q 'build/bin/[a-z]' "$readme" || fail "installed README: $(grep -m1 'build/bin/[a-z]' "$readme")"
  grep -q -- "--fleet $work/stage/share/doc/vesgen/examples/rotterdam.csv" "$readme" ||
    fail "installed README does not name the installed demo fleet"
  for page in "$work"/stage/share/man/man1/*.1.gz; do
    lint=$(zcat "$page" | mandoc -T lint -W warning 2>&1)
    [ -z "$lint" ] || fail "$page: $lint"
  done
  ;;
*) echo "FAIL: unknown case $case_name"; exit 1 ;;
esac
[ $failures -eq 0 ] && echo "PASS: $case_name"
exit $((failures > 0))
