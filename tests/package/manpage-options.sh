#!/usr/bin/env bash
# Every command and option that lyrabinder-cli's help lists appears in its manual page.
# Usage: manpage-options.sh CLI PAGE
set -euo pipefail
cli=$1 page=$2
text=$(mandoc -T ascii "$page" | sed 's/.\x08//g')
# CLI11 lists them under "Options:" and "Subcommands:" (upper case in some versions).
options() { sed -n '/^options:$/I,/^[a-z]*:$/Ip' | grep -oE '^ +(-[a-zA-Z],)?--?[a-z][a-z-]*' | tr ',' '\n' | tr -d ' '; }
commands=$("$cli" --help | sed -n '/^subcommands:$/I,$p' | grep -oE '^ +[a-z]+' | tr -d ' ')
[ -n "$commands" ] || { echo "no commands in lyrabinder-cli --help"; exit 1; }
missing=0
for command in $commands; do
  grep -qE "(^|[^a-z-])$command([^a-z-]|$)" <<<"$text" || { echo "missing command: $command"; missing=1; }
  for option in $("$cli" "$command" --help | options); do
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$text" || { echo "missing option: $command $option"; missing=1; }
  done
done
exit $missing
