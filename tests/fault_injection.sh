#!/usr/bin/env bash
# Fault injection on the installed programs: every call named below fails,
# always or at random, in every format, with standard input spooled, in
# directory mode (plain, -l, -r) and under -h. Each run must end in one of
# two ways:
#   - nothing on standard error, and the true listing and status;
#   - a message on standard error and status 2, or status 1 where the files
#     were known to differ (no memory for the tables, a file that cannot be
#     opened again), with no more of the listing than its true beginning.
# Never a signal, a hang, or a spool file left behind. Random failures make
# the outputs vary from run to run, so the verdict checks only these rules.
#
#   tests/fault_injection.sh STAGE_PREFIX [RANDOM_RUNS]
#
# fiu-run (Debian's fiu-utils) preloads wrappers of the POSIX calls made
# through the dynamic linker. It does not reach stat, fstat, pipe, dup and
# execv (this libfiu has no such points), nor the reads and writes that
# stdio makes inside the C library: those run under tests/fault_shim.c
# instead, built beside this script's caller, and stdio's own calls are
# failed at their entry points (fread, fwrite, getc, putc, printf, fflush).
# The shim also fails close with EINTR every time, leaving the descriptor
# open as POSIX allows: fiu-run picks that errno only now and then.
set -uo pipefail

stage=${1:?usage: fault_injection.sh STAGE_PREFIX [RANDOM_RUNS] [SHIM]}
random_runs=${2:-3}
shim=${3:-}
ovarn=$stage/bin/ovarn
command -v fiu-run >/dev/null || { echo "fault_injection: fiu-run missing (fiu-utils)" >&2; exit 2; }
[ -n "$shim" ] ||
  echo "fault_injection: no preload library given: stat, fstat, pipe, dup, dup2, execv and close are not failed" >&2

work=$(mktemp -d /tmp/ovarn-fiu.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
marker="fault-injection-input-$$-$RANDOM"

# Inputs: pairs with changes of every kind, and two directories that hold
# such a pair, identical files, a name on one side only and a subdirectory.
for k in $(seq 1 3000); do
  echo "line $k"
  if ((k % 97 == 0)); then echo "inserted $k"; fi
done >old
for k in $(seq 1 3000); do
  if ((k % 89 == 0)); then echo "changed $k"; elif ((k % 101 != 0)); then echo "line $k"; fi
done >new
{ echo "$marker"; cat old; } >stdin_old
# A pair of some megabytes, which is loaded and verified on two threads.
seq 1 120000 | sed 's/$/ of the larger pair/' >large_old
sed -e '/7 of/s/$/ changed/' -e '/^5[0-9]*3 of/d' large_old >large_new
for side in da db; do
  mkdir -p $side/sub
  cp old $side/same
  echo "$side only" >$side/sub/y
done
cp old da/x
cp new db/x
echo "only here" >da/only

scenarios=(
  "old new" "large_old large_new" "-e old new" "-f old new" "-n old new" "-c old new" "-DX old new" "-t -c2 old new"
  "- new" "new -"
  "da db" "-l da db" "-r da db" "-e da db"
  "-h old new" "-h new -"
)
fiu_points=(
  posix/io/rw/read posix/io/rw/pread posix/io/rw/write posix/io/oc/open posix/io/oc/close
  posix/mm/mmap libc/mm/malloc libc/mm/realloc libc/mm/calloc posix/proc/fork
  posix/proc/waitpid posix/proc/wait posix/io/dir/opendir posix/io/dir/readdir
  posix/stdio/rw/fread posix/stdio/rw/fwrite posix/stdio/gp/getc posix/stdio/gp/putc
  posix/stdio/sp/printf posix/stdio/fflush posix/stdio/oc/fopen
)
shim_points=(stat fstat pipe dup dup2 execv close)

run_one() {  # scenario, launcher words...
  local scenario=$1
  shift
  # shellcheck disable=SC2086
  timeout 60 "$@" "$ovarn" $scenario <stdin_old >out 2>err
}

# The listing without the time pr puts in its page headers.
listing() { sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2} +//' out | sha256sum; }

# The true listing and status of each scenario.
declare -A true_out true_status
for i in "${!scenarios[@]}"; do
  run_one "${scenarios[$i]}"
  true_status[$i]=$?
  true_out[$i]=$(listing)
done

status_one_messages='^(varn: files too big, try -h|varn: ran out of memory|(old|new|large_old|large_new|/tmp/d.....): .*)$'
failures=0
declare -A table_runs table_clean table_reported
verdict() {  # point, mode, scenario index, status
  local point=$1 mode=$2 i=$3 status=$4 key="$1 $2"
  table_runs[$key]=$((${table_runs[$key]:-0} + 1))
  local problem=""
  if ((status >= 124)); then
    problem="ended by a signal or a timeout ($status)"
  elif [ ! -s err ]; then
    if [ "$status" != "${true_status[$i]}" ] || [ "$(listing)" != "${true_out[$i]}" ]; then
      problem="no message, but not the true answer (status $status)"
    fi
    table_clean[$key]=$((${table_clean[$key]:-0} + 1))
  else
    table_reported[$key]=$((${table_reported[$key]:-0} + 1))
    if [ "$status" = 1 ]; then
      # Only where the files were known to differ (no memory for the
      # tables, a file that cannot be opened again) or a directory path
      # buffer cannot be had, and before any listing.
      if [ -s out ] || ! grep -qE "$status_one_messages" err; then
        problem="status 1 with a message it does not allow"
      fi
    elif [ "$status" != 2 ]; then
      problem="a message with status $status"
    fi
  fi
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    echo "FAIL: $point ($mode) ovarn ${scenarios[$i]}: $problem" >&2
    sed 's/^/  err: /' err | head -5 >&2
  fi
}

for point in "${fiu_points[@]}"; do
  for i in "${!scenarios[@]}"; do
    run_one "${scenarios[$i]}" fiu-run -x -f "" -c "enable name=$point"
    verdict "$point" always "$i" $?
    for ((k = 0; k < random_runs; ++k)); do
      run_one "${scenarios[$i]}" fiu-run -x -f "" -c "enable_random name=$point,probability=0.3"
      verdict "$point" random "$i" $?
    done
  done
done

if [ -n "$shim" ]; then
  for point in "${shim_points[@]}"; do
    for i in "${!scenarios[@]}"; do
      run_one "${scenarios[$i]}" env LD_PRELOAD="$shim" OVARN_FAIL="$point" OVARN_FAIL_PERCENT=100
      verdict "$point" always "$i" $?
      for ((k = 0; k < random_runs; ++k)); do
        run_one "${scenarios[$i]}" env LD_PRELOAD="$shim" OVARN_FAIL="$point" OVARN_FAIL_PERCENT=30 \
          OVARN_FAIL_SEED=$k
        verdict "$point" random "$i" $?
      done
    done
  done
fi

# A spool file left behind holds the marker line of standard input.
left=$(grep -l "^$marker\$" /tmp/d????? 2>/dev/null)
if [ -n "$left" ]; then
  failures=$((failures + 1))
  echo "FAIL: spool files left behind: $left" >&2
fi

printf '%-26s %-7s %5s %12s %9s\n' call mode runs "true answer" reported
printf '%s\n' "${!table_runs[@]}" | sort | while read -r point mode; do
  key="$point $mode"
  printf '%-26s %-7s %5s %12s %9s\n' "$point" "$mode" "${table_runs[$key]}" \
    "${table_clean[$key]:-0}" "${table_reported[$key]:-0}"
done
echo "fault_injection: $failures failures" >&2
[ "$failures" -eq 0 ]
