#!/usr/bin/env bash
# Every option the programs take, as their own --help lists it (read from the option tables the
# help is made from, so a new option needs no list here), and every tevrin-tape command must be
# named in the user's manual.
#   manual_options.sh BIN-DIR MANUAL.md
set -euo pipefail
bin=$1
manual=$2
[ -s "$manual" ] || { echo "manual_options: no manual at $manual" >&2; exit 1; }
missing=()
named() { grep -qE -- "(^|[^A-Za-z0-9-])$1([^A-Za-z0-9-]|\$)" "$manual"; }
options_of() {
  # Option names stand after a blank, a comma, "[" or "|" (usage lines, option tables).
  grep -oE -- '(^|[][ ,|])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[][ ,|]//' | sort -u |
    grep -vxE -- '-h|--help' || true
}
check() {
  local program=$1 help
  shift
  help=$("$bin/$program" "$@" --help) || { echo "manual_options: $program $* --help failed" >&2; exit 1; }
  [ -n "$help" ] || { echo "manual_options: $program $* --help printed nothing" >&2; exit 1; }
  for option in $(options_of <<<"$help"); do
    named "$option" || missing+=("$program $* $option")
  done
  echo "$help"
}

check tevrinemu >/dev/null
check tevrinemu --headless >/dev/null
for program in tevrin-asm tevrin-disasm tevrin-cpm; do
  named "$program" || missing+=("$program")
  check "$program" >/dev/null
done
tape_help=$(check tevrin-tape)
# A command's other names follow it after a comma ("from-audio, from-wav").
commands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$tape_help" |
  sed -nE 's/^  ([a-z][a-z-]*(, [a-z][a-z-]*)*)( .*)?$/\1/p' | tr -d ',')
[ "$(wc -w <<<"$commands")" -ge 8 ] || { echo "manual_options: tevrin-tape lists no commands" >&2; exit 1; }
for command in $commands; do
  grep -qF -- "tevrin-tape $command" "$manual" || missing+=("tevrin-tape $command")
  check tevrin-tape "$command" >/dev/null
done

if [ ${#missing[@]} -gt 0 ]; then
  printf 'manual_options: not named in %s:\n' "$manual" >&2
  printf '  %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "manual_options: ok"
