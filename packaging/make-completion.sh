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
# Options that take a file name: those whose help speaks of a file, and these by name
# (whichever of them the program has).
named_file_options="--fleet --scenario --route"
described=$(printf '%s\n' "$help" | awk '
  /^  --[a-z0-9-]+ +arg/ { if (name != "") print name "\t" text; name = $1; text = $0; next }
  /^  -/ { if (name != "") print name "\t" text; name = ""; next }
  /^    / { text = text " " $0; next }
  END { if (name != "") print name "\t" text }' |
  awk -F '\t' 'tolower($2) ~ /(^|[^a-z])file([^a-z]|$)/ { print $1 }')
valued=$(echo $valued)  # one line, so that " $valued " finds whole names
file_valued=""
for option in $named_file_options $described; do
  [ "$option" != --output ] || continue
  case " $valued " in *" $option "*) ;; *) continue ;; esac
  case " $file_valued " in *" $option "*) ;; *) file_valued="$file_valued $option" ;; esac
done
others=""
for option in $valued; do
  case " $file_valued --output " in *" $option "*) ;; *) others="$others $option" ;; esac
done
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
  if [ -n "$file_valued" ]; then
    echo "    $(echo $file_valued | tr ' ' '|'))"
    echo "        mapfile -t COMPREPLY < <(compgen -f -- \"\$cur\")"
    echo "        compopt -o filenames 2>/dev/null"
    echo "        return ;;"
  fi
  if [ -n "$others" ]; then
    echo "    $(echo $others | tr ' ' '|'))"
    echo "        return ;;"
  fi
  echo "    esac"
  echo "    mapfile -t COMPREPLY < <(compgen -W '$(echo $names)' -- \"\$cur\")"
  echo "}"
  echo "complete -F _vesgen vesgen"
} > "$out.tmp"
mv "$out.tmp" "$out"
