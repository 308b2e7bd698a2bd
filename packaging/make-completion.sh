#!/bin/sh
# make-completion.sh VESGEN OUT: writes the bash completion of vesgen from the option list that
# the built program prints with --help, so the two cannot disagree.
set -eu
vesgen=$1
out=$2
# vesgen takes its single-instance lock before it reads the command line: use a private one.
lockdir=$(mktemp -d)
trap 'rm -rf "$lockdir"' EXIT
# --help ends with status 255 by design; the option list is checked below.
help=$(TMPDIR=$lockdir "$vesgen" --help) || true
# Option lines start with the name ("  --name arg" or "  -h [ --help ]"); "arg" marks a value.
names=$(printf '%s\n' "$help" | sed -n 's/^  -h \[ --help \].*/--help/p; s/^  \(--[a-z0-9-]*\).*/\1/p')
valued=$(printf '%s\n' "$help" | sed -n 's/^  \(--[a-z0-9-]*\) \{1,\}arg.*/\1/p')
[ -n "$names" ] || { echo "no options found in the output of $vesgen --help" >&2; exit 1; }
case " $(echo $names) " in *" --output "*) ;; *) echo "no --output in $vesgen --help" >&2; exit 1 ;; esac
{
  echo "# bash completion for vesgen, made from its --help."
  echo "_vesgen()"
  echo "{"
  echo "    local cur=\${COMP_WORDS[COMP_CWORD]} prev=\${COMP_WORDS[COMP_CWORD-1]}"
  echo "    case \$prev in"
  echo "    --output)"
  echo "        mapfile -t COMPREPLY < <(compgen -W 'CON COM1 COM2 COM3 COM4 TCP* UDP*' -- \"\$cur\"; compgen -f -- \"\$cur\")"
  echo "        compopt -o filenames -o nospace 2>/dev/null"
  echo "        return ;;"
  echo "    $(echo $valued | tr ' ' '|'))"
  echo "        return ;;"
  echo "    esac"
  echo "    mapfile -t COMPREPLY < <(compgen -W '$(echo $names)' -- \"\$cur\")"
  echo "}"
  echo "complete -F _vesgen vesgen"
} > "$out.tmp"
mv "$out.tmp" "$out"
