#!/bin/sh
# Writes the bash completion of uploader-cli from the program's own --help
# text: its commands, the options of each command, which options take a value
# (a file name for FILE and IMAGE values) and the adapter names. Run by the
# build on the built program, so the completion follows the option table.
#
#   completion.sh UPLOADER_CLI OUTPUT
set -eu
[ $# -eq 2 ] || { echo "usage: $0 UPLOADER_CLI OUTPUT" >&2; exit 2; }
cli=$1
out=$2

lists=$("$cli" --help | awk '
  /^[^ ].*:$/ { section = $1; next }
  /^$/ { section = ""; next }
  section == "Usage:" && $1 == "uploader-cli" && $2 !~ /^-/ {
    commands = commands " " $2
    if ($3 ~ /^[A-Z]/) files = files " " $2
  }
  # "  -a, --address N   ..." or "      --adapter NAME   ...": the long name counts.
  section == "Options" && /^  (-[a-zA-Z], |    )--/ {
    line = $0
    sub(/^ +(-[a-zA-Z], )?/, "", line)
    gap = index(line, "  ")
    left = gap > 0 ? substr(line, 1, gap - 1) : line
    split(left, part, " ")
    option = part[1]
    if (part[2] != "" && part[2] ~ /^[A-Z]/) {
      values = values " " option
      if (part[2] ~ /FILE|IMAGE/) fileValues = fileValues " " option
    }
  }
  section == "Options" && match($0, /\[[a-z, ]+\]$/) {
    n = split(substr($0, RSTART + 1, RLENGTH - 2), applies, /, */)
    for (i = 1; i <= n; i++) options[applies[i]] = options[applies[i]] " " option
  }
  # "sim", "sim[:N]": the name alone; "tty:PATH": the name and its colon.
  section == "Adapters" && /^  [a-z]/ {
    match($1, /^[a-z0-9-]+/)
    name = substr($1, 1, RLENGTH)
    if (substr($1, RLENGTH + 1, 1) == ":") name = name ":"
    adapters = adapters " " name
  }
  function emit(name, text) { sub(/^ /, "", text); printf "  local %s=\047%s\047\n", name, text }
  END {
    emit("commands", commands)
    emit("file_commands", files)
    n = split(commands, each, " ")
    for (i = 1; i <= n; i++) emit("options_" each[i], options[each[i]])
    emit("value_options", values)
    emit("file_options", fileValues)
    emit("adapters", adapters)
  }')
case $lists in
  *"local commands=''"* | *"local adapters=''"*)
    echo "completion.sh: no commands or adapters found in $cli --help" >&2
    exit 1
    ;;
esac

{
  cat <<'HEAD'
# bash completion for uploader-cli. Made from the output of
# `uploader-cli --help` by packaging/linux/completion.sh; do not edit.
_uploader_cli() {
HEAD
  echo "$lists"
  cat <<'BODY'
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  # --option=value: the shell splits at "=".
  if [[ $cur == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    cur=""
  elif [[ $prev == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  local command="" word i
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ " $value_options " == *" $word "* ]]; then
      ((i++))
    elif [[ " $commands " == *" $word "* ]]; then
      command=$word
      break
    fi
  done
  COMPREPLY=()
  if [[ " $value_options " == *" $prev "* ]]; then
    if [[ $prev == --adapter ]]; then
      COMPREPLY=($(compgen -W "$adapters" -- "$cur"))
      [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *: ]] && compopt -o nospace 2>/dev/null
    elif [[ " $file_options " == *" $prev "* ]]; then
      COMPREPLY=($(compgen -f -- "$cur"))
    fi
    return 0
  fi
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
  elif [[ $cur == -* ]]; then
    local name=options_$command
    COMPREPLY=($(compgen -W "${!name}" -- "$cur"))
  elif [[ " $file_commands " == *" $command "* ]]; then
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
  return 0
}
complete -o filenames -F _uploader_cli uploader-cli
BODY
} >"$out.new"
mv "$out.new" "$out"
