#!/bin/sh
# Runs every fuzz target for a bounded time and keeps what it finds.
#   fuzz/run_fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET]
# BUILD_DIR is a build configured with clang and -DOVARN_FUZZ=ON, with the
# target ovarn_fuzzers built. Corpora grow in BUILD_DIR/fuzz/corpus/<target>;
# crashes and hangs are written to BUILD_DIR/fuzz/artifacts/. The exit
# status is non-zero when any target found something.
set -u
build=${1:?usage: run_fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET]}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in options compare helper; do
  corpus="$build/fuzz/corpus/$target"
  artifacts="$build/fuzz/artifacts"
  mkdir -p "$corpus" "$artifacts"
  cp -n "$here/seeds/$target"/* "$corpus"/ 2>/dev/null
  echo "== fuzz_$target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=60 -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$corpus"; then
    status=1
  fi
done
exit $status
