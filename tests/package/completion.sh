#!/usr/bin/env bash
# The bash completion of lyrabinder-cli offers commands, options and files of the right kind.
# Usage: completion.sh COMPLETIONFILE
set -euo pipefail
source "$1"
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
mkdir folder
touch a_LB.MP3 b_lb.mp3 c_ALBW.MP3 track.mp3 song.wav notes.txt cover.jpg
complete_line() {
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _lyrabinder_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
status=0
check() {
  local got
  got=$(complete_line "$1")
  [ "$got" = "$2" ] || { echo "'$1': got '$got', expected '$2'"; status=1; }
}
check "lyrabinder-cli c" "create cue "
check "lyrabinder-cli cue " "a_LB.MP3 b_lb.mp3 folder "
check "lyrabinder-cli list " "a_LB.MP3 b_lb.mp3 c_ALBW.MP3 folder "
check "lyrabinder-cli encode " "folder song.wav "
check "lyrabinder-cli extract a_LB.MP3 --to " "folder "
check "lyrabinder-cli play --l" "--loop "
exit $status
