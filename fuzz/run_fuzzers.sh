#!/bin/sh
# Runs every fuzz target for a bounded time and keeps what it finds.
#   fuzz/run_fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET] [TARGET...]
# BUILD_DIR is a build configured with clang and -DOVARN_FUZZ=ON, with the
# target ovarn_fuzzers built. Without TARGET names every target runs, one
# after the other. Corpora grow in BUILD_DIR/fuzz/corpus/<target>, starting
# from fuzz/seeds/<target>; crashes and hangs are written to
# BUILD_DIR/fuzz/artifacts/. The exit status is non-zero when any target
# found something.
set -u
build=${1:?usage: run_fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET] [TARGET...]}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
targets=${*:-options compare helper dircmp}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in $targets; do
  corpus="$build/fuzz/corpus/$target"
  artifacts="$build/fuzz/artifacts"
  mkdir -p "$corpus" "$artifacts"
  cp -n "$here/seeds/$target"/* "$corpus"/ 2>/dev/null
  # In process: a slow input is a hang, and the programs' own messages on
  # standard error are dropped (the fuzzer's and the sanitizers' reports are
  # kept).
  limits="-timeout=10 -close_fd_mask=2"
  echo "== fuzz_$target for ${seconds}s"
  # shellcheck disable=SC2086
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" $limits -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$corpus"; then
    status=1
  fi
done
exit $status
