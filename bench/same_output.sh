#!/usr/bin/env bash
# Compares the output of two installs of the programs on the benchmark's
# input pairs: every format (plain, -e, -f, -n, -c, -c0, -D, -DX), each with
# no flag and under -b, -w and -i; standard output byte for byte (as a
# checksum) and the exit status. For a change that must not change output.
#
#   bench/same_output.sh OLD_STAGE NEW_STAGE WORK [PAIR...]
#
# WORK is a directory of inputs made by bench/generate_inputs.py (bench/run
# --keep leaves one); the pairs default to every pair in it. Prints one line
# per difference and a count at the end; exits 1 on any difference.
set -uo pipefail

if [ $# -lt 3 ]; then
  sed -n '2,/^set -uo/{/^#/p}' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
old="$1/bin/ovarn"
new="$2/bin/ovarn"
work="$3"
shift 3
pairs=("$@")
if [ ${#pairs[@]} -eq 0 ]; then
  for dir in "$work"/*/; do
    name=$(basename "$dir")
    [ -f "$work/$name/old" ] && [ -f "$work/$name/new" ] && pairs+=("$name")
  done
fi

digest() {  # prints the checksum of the output and the exit status
  local sum
  sum=$("$@" | sha256sum)
  echo "${sum%% *} ${PIPESTATUS[0]}"
}

runs=0
differ=0
for pair in "${pairs[@]}"; do
  for flag in "" -b -w -i; do
    for format in "" -e -f -n -c -c0 -D -DX; do
      options=($flag $format)
      a=$(digest "$old" "${options[@]}" "$work/$pair/old" "$work/$pair/new")
      b=$(digest "$new" "${options[@]}" "$work/$pair/old" "$work/$pair/new")
      runs=$((runs + 1))
      if [ "$a" != "$b" ]; then
        differ=$((differ + 1))
        echo "differs: $pair ${options[*]}: $a against $b"
      fi
    done
  done
done
echo "$runs comparisons, $differ differ"
[ "$differ" -eq 0 ]
