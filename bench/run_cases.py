#!/usr/bin/env python3
"""Runs the benchmark cases on the inputs of generate_inputs.py and prints,
for each case, the median wall time, the ratio to its floor command, the
peak resident memory, the targets and whether each is met.

Each case runs once to warm the page cache, then --runs times, every run of
the command right after a run of its floor command, so that a change in the
machine's load falls on both alike. The ratio is the median of the ratios of
those adjacent pairs; the targets are judged on it. The same ratio on
processor time is printed beside it, as a busy machine disturbs it less. Peak memory is the largest ru_maxrss that wait4
reports for the command, which covers every process it waited for (the
child runs of a directory comparison, the pr pager); measure_run takes both
measurements.

With --base STAGE, every case also runs the same command from STAGE, the
install of an earlier build, right after each run of the new one; the
table of that build is printed too, with each case's time as a share of
that build's (the median of those adjacent pairs), and a peak target stated
against the earlier build is judged on its runs.

The dense family (few distinct lines, files that differ a lot or long) is
also judged against its bound: a bit-parallel pass over the two views,
n x m / 64 word steps at 1 ns each, plus the read floor (the median time
of its floor command). Its table gives the bound and the ratio to it, for
this build and the earlier one. Its runs are cut off sooner, as an earlier
build may take many minutes on them.
"""

import argparse
import os
import signal
import statistics
import subprocess
import sys
import time
from dataclasses import dataclass, field

MIB = 1024 * 1024
RUN_TIMEOUT = 900  # seconds; a run past this is killed and the case fails
DENSE_TIMEOUT = 150  # seconds, for the dense family
MEASURE_RUN = None  # the measure_run launcher, set from the command line


@dataclass
class run_result:
    seconds: float
    peak_bytes: int
    status: int  # exit status, or -signal
    cpu_seconds: float  # user and system time of the command and its children


@dataclass
class bench_case:
    name: str
    command: list
    floor: list = None
    status: int = 1  # the exit status the command must end with
    max_ratio: float = None
    max_peak_bytes: int = None
    peak_not_above_base: bool = False  # peak at most the earlier build's + 1 MiB
    base_command: list = None  # the same command from the earlier build
    timeout: int = RUN_TIMEOUT  # seconds; a run past this is killed
    bound_seconds: float = None  # the word steps of the bit-parallel bound, in seconds
    max_bound_ratio: float = None  # most time as a multiple of the bound
    max_seconds: float = None  # most median time
    note: str = ""
    runs: list = field(default_factory=list)
    floor_runs: list = field(default_factory=list)
    base_runs: list = field(default_factory=list)


def run_once(argv, timeout=RUN_TIMEOUT):
    """Runs argv through measure_run (standard output on /dev/null) and
    returns its wall time, the peak resident memory of it and its waited-for
    descendants, and its exit status."""
    launcher = subprocess.Popen([MEASURE_RUN] + argv, stdout=subprocess.PIPE, text=True,
                                start_new_session=True)
    try:
        out, _ = launcher.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(launcher.pid, signal.SIGKILL)
        launcher.communicate()
        return run_result(float(timeout), 0, -signal.SIGKILL, float(timeout))
    seconds, peak_kib, status, cpu = out.split()
    return run_result(float(seconds), int(peak_kib) * 1024, int(status), float(cpu))


def line_count(path):
    with open(path, "rb") as f:
        return f.read().count(b"\n")


def differ(old, new):
    """Whether the two files hold different bytes: a file pair then ends
    with status 1, else 0 (a small --scale can leave a cut without edits)."""
    with open(old, "rb") as a, open(new, "rb") as b:
        return a.read() != b.read()


def shell(text):
    return ["/bin/sh", "-c", text]


def make_cases(stage, work):
    ovarn = os.path.join(stage, "bin", "ovarn")
    ovarnh = os.path.join(stage, "libexec", "ovarnh")

    def pair(name):
        return os.path.join(work, name, "old"), os.path.join(work, name, "new")

    def peak_per_line(old, new):
        return 16 * (line_count(old) + line_count(new)) + 8 * MIB

    cases = []
    if all(os.path.isdir(os.path.join(work, d)) for d in STANDARD_DIRS):
        cases.extend(standard_cases(ovarn, ovarnh, work, pair, peak_per_line))
    cases.extend(dense_cases(ovarn, pair, peak_per_line))
    cases.extend(distinct_cases(ovarn, pair, peak_per_line))
    return cases


# The inputs of the cases before the dense family; without any of them
# (bench/run --inputs dense) those cases are left out.
STANDARD_DIRS = ("similar", "helper", "disjoint", "repeats", "text", "short", "trees")


def standard_cases(ovarn, ovarnh, work, pair, peak_per_line):
    wc = "/usr/bin/wc"
    cases = []
    old, new = pair("similar")
    similar_peak = peak_per_line(old, new)
    for options in ([], ["-c"], ["-e"]):
        cases.append(bench_case(" ".join(["similar"] + options), [ovarn] + options + [old, new],
                                [wc, "-l", old, new], max_ratio=4, max_peak_bytes=similar_peak,
                                peak_not_above_base=True))
    old, new = pair("disjoint")
    cases.append(bench_case("disjoint", [ovarn, old, new], [wc, "-l", old, new], max_ratio=8))
    old, new = pair("repeats")
    cases.append(bench_case("repeats", [ovarn, old, new], max_peak_bytes=24 * MIB))
    old, new = pair("text")
    cases.append(bench_case("real text", [ovarn, old, new], [wc, "-l", old, new], max_ratio=6,
                            max_peak_bytes=peak_per_line(old, new)))
    old, new = pair("short")
    cases.append(bench_case("short lines", [ovarn, old, new], [wc, "-l", old, new],
                            max_peak_bytes=peak_per_line(old, new)))
    for name in ("similar", "helper"):
        old, new = pair(name)
        label = "helper " + ("80 MB" if name == "similar" else "1 MB")
        cases.append(bench_case(label, [ovarnh, old, new], [wc, "-l", old, new],
                                status=int(differ(old, new)), max_ratio=4, max_peak_bytes=6 * MIB))
    trees = os.path.join(work, "trees")
    floor = shell("cd '%s' && find a b -type f -exec cat {} + | wc -l" % trees)
    cases.append(bench_case("trees identical", [ovarn, "-r", os.path.join(trees, "a"),
                                                os.path.join(trees, "b")],
                            floor, status=2, max_ratio=3))
    floor = shell("cd '%s' && find a c -type f -exec cat {} + | wc -l" % trees)
    cases.append(bench_case("trees edited", [ovarn, "-r", os.path.join(trees, "a"),
                                             os.path.join(trees, "c")],
                            floor, status=2))
    return cases


# The dense family: (case name, pair directory, lines a side).
DENSE_PAIRS = (("dense two values 50k", "dense2_50k", 50_000),
               ("dense two values 400k", "dense2_400k", 400_000),
               ("dense two values 1m", "dense2_1m", 1_000_000),
               ("dense three skewed 400k", "dense3_400k", 400_000),
               ("dense column 1m", "column_1m", 1_000_000),
               ("dense moved block 400k", "moved_400k", 400_000))


def dense_cases(ovarn, pair, peak_per_line):
    cases = []
    for name, directory, lines in DENSE_PAIRS:
        old, new = pair(directory)
        if not os.path.exists(old):
            continue
        n, m = line_count(old), line_count(new)
        case = bench_case(name, [ovarn, old, new], ["/usr/bin/wc", "-l", old, new],
                          status=int(differ(old, new)), max_peak_bytes=peak_per_line(old, new),
                          timeout=DENSE_TIMEOUT, bound_seconds=n * m / 64 / 1e9)
        if directory == "column_1m":
            case.max_seconds = 3
        elif lines <= 50_000:
            case.max_seconds = 0.2
        else:
            case.max_bound_ratio = 3
        cases.append(case)
    return cases


# Mostly distinct lines, 0.1 % edited: (case name, pair directory). The
# time over the read floor must not grow with the size.
DISTINCT_PAIRS = (("distinct 1m", "distinct_1m"), ("distinct 4m", "distinct_4m"),
                  ("distinct 16m", "distinct_16m"))


def distinct_cases(ovarn, pair, peak_per_line):
    cases = []
    for name, directory in DISTINCT_PAIRS:
        old, new = pair(directory)
        if os.path.exists(old):
            cases.append(bench_case(name, [ovarn, old, new], ["/usr/bin/wc", "-l", old, new],
                                    max_ratio=4, max_peak_bytes=peak_per_line(old, new)))
    return cases


def add_base_commands(cases, stage, base_stage):
    """Points each case's base_command at the same programs under base_stage."""
    for case in cases:
        case.base_command = [base_stage + word[len(stage):] if word.startswith(stage + "/") else word
                             for word in case.command]


def measure(case, runs):
    """The warm-up run, then runs alternating floor and command. The dense
    family's inputs are small, and its floor run warms them: its commands
    have no warm-up run, which could take minutes."""
    if case.floor:
        run_once(case.floor)
    if case.bound_seconds is None:
        run_once(case.command, case.timeout)
        if case.base_command:
            run_once(case.base_command, case.timeout)
    for _ in range(runs):
        if case.floor:
            case.floor_runs.append(run_once(case.floor))
        case.runs.append(run_once(case.command, case.timeout))
        if case.base_command:
            case.base_runs.append(run_once(case.base_command, case.timeout))


def median_time(runs):
    return statistics.median(r.seconds for r in runs)


def ratio(case, runs=None):
    if not case.floor_runs:
        return None
    return statistics.median(c.seconds / f.seconds
                             for c, f in zip(runs or case.runs, case.floor_runs))


def cpu_ratio(case, runs=None):
    """The same ratio on processor time, which a busy machine disturbs less."""
    if not case.floor_runs:
        return None
    return statistics.median(c.cpu_seconds / max(f.cpu_seconds, 1e-3)
                             for c, f in zip(runs or case.runs, case.floor_runs))


def base_share(case):
    """The median of the new build's time over the earlier build's, run by run."""
    if not case.base_runs:
        return None
    return statistics.median(c.seconds / b.seconds for c, b in zip(case.runs, case.base_runs))


def peak(runs):
    return max(r.peak_bytes for r in runs)


def verdicts(case):
    """(target text, met) for each target of the case, exit status first."""
    results = []
    statuses = sorted({r.status for r in case.runs})
    results.append(("exit status %d" % case.status, statuses == [case.status]))
    if case.max_ratio is not None:
        results.append(("ratio <= %g" % case.max_ratio, ratio(case) <= case.max_ratio))
    if case.max_bound_ratio is not None:
        results.append(("bound ratio <= %g" % case.max_bound_ratio,
                        bound_ratio(case, case.runs) <= case.max_bound_ratio))
    if case.max_seconds is not None:
        results.append(("time <= %g s" % case.max_seconds,
                        median_time(case.runs) <= case.max_seconds))
    if case.max_peak_bytes is not None:
        results.append(("peak <= %.1f MiB" % (case.max_peak_bytes / MIB),
                        peak(case.runs) <= case.max_peak_bytes))
    if case.base_runs:
        if case.peak_not_above_base:
            results.append(("peak <= before + 1 MiB",
                            peak(case.runs) <= peak(case.base_runs) + MIB))
    elif case.peak_not_above_base:
        case.note = "targets against the earlier build not judged (no --base)"
    return results


def bound(case):
    """The bit-parallel bound in seconds: the word steps and the read floor."""
    return case.bound_seconds + median_time(case.floor_runs)


def bound_ratio(case, runs):
    return median_time(runs) / bound(case)


def cut_off(runs):
    return any(r.status == -signal.SIGKILL for r in runs)


def bound_columns(case, runs):
    """Median time, its ratio to the bound, processor time and peak, or that
    the runs were cut off."""
    if cut_off(runs):
        return "over %d | over %.0f | - | - |" % (case.timeout, case.timeout / bound(case))
    cpu = statistics.median(r.cpu_seconds for r in runs)
    return "%.2f | %.1f | %.2f | %.1f |" % (median_time(runs), bound_ratio(case, runs), cpu,
                                            peak(runs) / MIB)


def print_bound_table(cases, out):
    """The dense family against its bound, beside the earlier build."""
    dense = [c for c in cases if c.bound_seconds is not None and c.runs]
    if not dense:
        return
    out.write("\nThe dense family against the bound (n x m / 64 ns + the read floor):\n\n")
    out.write("| case | bound s | median s | ratio | cpu s | peak MiB "
              "| before s | before ratio | before cpu s | before peak MiB |\n")
    out.write("|---|---|---|---|---|---|---|---|---|---|\n")
    for case in dense:
        before = bound_columns(case, case.base_runs) if case.base_runs else "- | - | - | - |"
        out.write("| %s | %.3f | %s %s\n" % (case.name, bound(case), bound_columns(case, case.runs),
                                            before))


def helper_spread(cases):
    """The helper's peak memory on the two pairs must lie within 1 MiB."""
    helpers = [c for c in cases if c.name.startswith("helper") and c.runs]
    if len(helpers) != 2:
        return None
    spread = abs(peak(helpers[0].runs) - peak(helpers[1].runs))
    return spread, spread <= MIB


def count_candidates(counter, work):
    if not counter or not os.access(counter, os.X_OK):
        return None
    old, new = (os.path.join(work, "repeats", name) for name in ("old", "new"))
    done = subprocess.run([counter, old, new], capture_output=True, text=True)
    fields = dict(word.split("=", 1) for word in done.stdout.split() if "=" in word)
    if done.returncode != 0 or "candidate_count" not in fields:
        return None
    return "%s (%s)" % (fields["candidate_count"], done.stdout.strip())


def print_table(cases, out, base=False):
    """The table of the new build or, with base, of the earlier one; the
    targets are judged on the new build alone."""
    out.write("| case | median s | floor median s | ratio | cpu s | cpu ratio | peak MiB | %s |\n"
              % ("exit status" if base else "time / before | targets"))
    out.write("|---|---|---|---|---|---|---|---|%s\n" % ("" if base else "---|"))
    for case in cases:
        runs = case.base_runs if base else case.runs
        if not runs:
            continue
        floor = "%.3f" % median_time(case.floor_runs) if case.floor_runs else "-"
        rat = "%.2f" % ratio(case, runs) if case.floor_runs else "-"
        cpu_rat = "%.2f" % cpu_ratio(case, runs) if case.floor_runs else "-"
        cpu = statistics.median(r.cpu_seconds for r in runs)
        out.write("| %s | %.3f | %s | %s | %.3f | %s | %.1f |"
                  % (case.name, median_time(runs), floor, rat, cpu, cpu_rat, peak(runs) / MIB))
        if base:
            out.write(" %s |\n" % ",".join(str(s) for s in sorted({r.status for r in runs})))
            continue
        share = "%.2f" % base_share(case) if case.base_runs else "-"
        targets = "; ".join("%s %s" % (text, "met" if met else "NOT MET")
                            for text, met in verdicts(case))
        if case.note:
            targets += "; " + case.note
        out.write(" %s | %s |\n" % (share, targets))


def print_notes(cases, candidates, edited_files, out):
    spread = helper_spread(cases)
    if spread:
        out.write("\nhelper peak memory spread between the 80 MB and the 1 MB pair: %.2f MiB (target <= 1 MiB: %s)\n"
                  % (spread[0] / MIB, "met" if spread[1] else "NOT MET"))
    by_name = {c.name: c for c in cases if c.runs}
    if "trees identical" in by_name and "trees edited" in by_name:
        edited, same = by_name["trees edited"].runs, by_name["trees identical"].runs
        wall = median_time(edited) - median_time(same)
        cpu = (statistics.median(r.cpu_seconds for r in edited)
               - statistics.median(r.cpu_seconds for r in same))
        out.write("trees edited: %d differing pairs, %.2f ms wall and %.2f ms processor time per "
                  "child run (edited minus identical median, shared out)\n"
                  % (edited_files, 1000 * wall / edited_files, 1000 * cpu / edited_files))
    if "repeats" in by_name:
        out.write("repeats: candidate records at the end of the search: %s\n"
                  % (candidates if candidates else "not counted (count_candidates unavailable)"))


def edited_file_count(work):
    """The files of tree c that are not hard links to tree b."""
    count = 0
    for root, _, files in os.walk(os.path.join(work, "trees", "c")):
        count += sum(1 for f in files if os.stat(os.path.join(root, f)).st_nlink == 1)
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--stage", required=True, help="install prefix holding bin/ovarn and libexec/ovarnh")
    parser.add_argument("--work", required=True, help="directory of the generated inputs")
    parser.add_argument("--runs", type=int, default=5, help="timed runs per case (default 5)")
    parser.add_argument("--measure", required=True, help="the measure_run launcher")
    parser.add_argument("--counter", help="the count_candidates tool")
    parser.add_argument("--base", help="install prefix of an earlier build to run side by side")
    parser.add_argument("--cases", help="comma-separated case names or name prefixes to run (default all)")
    args = parser.parse_args()
    global MEASURE_RUN
    MEASURE_RUN = args.measure

    cases = make_cases(args.stage, args.work)
    if args.base:
        add_base_commands(cases, args.stage, args.base)
    if args.cases:
        wanted = args.cases.split(",")
        cases = [c for c in cases if any(c.name.startswith(w) for w in wanted)]
    for case in cases:
        sys.stderr.write("running: %s\n" % case.name)
        measure(case, args.runs)

    print("%d runs per case on %s, load average %.2f at the end\n"
          % (args.runs, os.uname().nodename, os.getloadavg()[0]))
    print_table(cases, sys.stdout)
    if args.base:
        print("\nThe earlier build (%s), in the same run:\n" % args.base)
        print_table(cases, sys.stdout, base=True)
    print_bound_table(cases, sys.stdout)
    print_notes(cases, count_candidates(args.counter, args.work), edited_file_count(args.work), sys.stdout)
    met = all(met for c in cases if c.runs for _, met in verdicts(c))
    spread = helper_spread(cases)
    if spread:
        met = met and spread[1]
    print("\nall targets met" if met else "\nsome targets NOT MET")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
