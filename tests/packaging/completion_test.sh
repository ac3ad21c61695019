#!/usr/bin/env bash
# The bash completion made from uploader-cli --help offers what the program
# takes: its commands, each command's own options, adapter names, file names.
#
#   completion_test.sh COMPLETION_FILE
set -uo pipefail
# shellcheck disable=SC1090
. "$1"

# Completes LINE as typed so far (words split at spaces; a trailing space
# starts an empty word) and prints the offers on one line.
offers() {
  read -r -a COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _uploader_cli
  echo "${COMPREPLY[*]}"
}

failures=0
expect() {
  local got
  got=$(offers "$1")
  if [[ $got != "$2" ]]; then
    echo "FAIL: \"$1\" offers \"$got\", expected \"$2\""
    ((failures++))
  fi
}

expect "uploader-cli up" "upload"
expect "uploader-cli --v" "--version"
expect "uploader-cli upload --ad" "--address --adapter"
expect "uploader-cli list --a" "--adapter"
expect "uploader-cli decode --ex" "--expect"
expect "uploader-cli upload fw.bin --adapter s" "sim sacn:"
expect "uploader-cli list --adapter art" "artnet:"
expect "uploader-cli upload --profile v1.1 --fa" "--fast"
expect "uploader-cli upload --address " ""
cd "$(mktemp -d)" && touch image.bin && trap 'rm -rf "$PWD"' EXIT
expect "uploader-cli upload im" "image.bin"
expect "uploader-cli upload x --capture im" "image.bin"

[[ $failures -eq 0 ]] && echo "completion: all offers as expected"
exit $((failures > 0))
