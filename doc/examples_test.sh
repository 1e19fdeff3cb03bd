#!/usr/bin/env bash
# Holds the command examples of README.md and doc/*.md to what the commands print. Each
# ```console block is run in a fresh copy of examples/bracket, in one shell with BIN_DIR first
# on the path: its lines that start with "$ " are commands (a line ending in a backslash goes
# on to the next), and the block must read exactly as the commands and what they print,
# standard output and error together (carriage returns, which a page does not show, left out;
# the copy's folder written /home/you/bracket, as the pages show it).
# Prints the difference for each block that does not.
#
# Usage: examples_test.sh SOURCE_DIR BIN_DIR
set -uo pipefail
source_dir=$1
bin_dir=$(cd "$2" && pwd)
scratch=$(cd "$(mktemp -d)" && pwd -P)  # as the commands see their working folder
trap 'rm -rf "$scratch"' EXIT
export LC_ALL=C
unset ZTR_TRACE_LEVEL QUORVEL_STANDIN_FAIL QUORVEL_PROJECT
# Project indexes (--old-files always has a project) stay in the scratch folder.
export XDG_CACHE_HOME=$scratch/cache
# Messages name files by their full path: the copy's folder is shown as this one.
shown_folder=/home/you/bracket
failures=0
blocks=0

# Runs the commands of one block ($commands) in a fresh copy and prints the transcript.
transcript() {
  rm -rf "$scratch/bracket"
  cp -r "$source_dir/examples/bracket" "$scratch/bracket"
  chmod -R u+w "$scratch/bracket"  # as a fresh clone has it, whatever the sources' modes
  (
    cd "$scratch/bracket" || exit 1
    PATH="$bin_dir:$PATH"
    status=0
    for command in "${commands[@]}"; do
      printf '$ %s\n' "$command"
      (exit $status)
      eval "$command" </dev/null 2>&1
      status=$?
    done
  ) | tr -d '\r' | sed "s|$scratch/bracket|$shown_folder|g"
}

check_block() {
  local file=$1 line=$2 expected=$3 text command=
  commands=()
  while IFS= read -r text; do
    if [[ -n $command ]]; then
      command+=$'\n'$text
    elif [[ $text == '$ '* ]]; then
      command=${text#'$ '}
    fi
    if [[ -n $command && $command != *'\' ]]; then
      commands+=("$command")
      command=
    fi
  done <<<"$expected"
  blocks=$((blocks + 1))
  local actual
  actual=$(transcript)
  expected=$(printf '%s' "$expected")  # without the blank lines at its end, as $actual
  if [[ "$actual" != "$expected" ]]; then
    echo "$file:$line: the example differs from what its commands print:"
    diff -u --label written --label printed <(printf '%s\n' "$expected") \
      <(printf '%s\n' "$actual")
    failures=$((failures + 1))
  fi
}

shopt -s nullglob
for file in "$source_dir/README.md" "$source_dir"/doc/*.md; do
  in_block=0
  number=0
  while IFS= read -r text || [[ -n $text ]]; do
    number=$((number + 1))
    if ((!in_block)); then
      if [[ $text == '```console' ]]; then
        in_block=1
        start=$number
        block=
      fi
    elif [[ $text == '```' ]]; then
      in_block=0
      check_block "${file#"$source_dir"/}" "$start" "$block"
    else
      block+=$text$'\n'
    fi
  done <"$file"
done

if ((blocks == 0)); then
  echo "no \`\`\`console block found in README.md or doc/*.md"
  exit 1
fi
echo "$blocks examples, $failures differing"
((failures == 0))
