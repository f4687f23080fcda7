#!/usr/bin/env python3
"""Writes the benchmark's input files under a work directory.

Every input comes from a random generator with a fixed seed, so two runs on
any machine write the same bytes. --scale shrinks every size by the same
factor (a quick trial run uses 0.01); 1 gives the sizes the targets are
stated for.

Layout of the work directory:
  similar/old, similar/new      2,000,000 lines each, 2,000 one-line edits
  helper/old, helper/new        the first 1 MB of the similar pair
  disjoint/old, disjoint/new    20 MB each, no line in common
  repeats/old, repeats/new      50,000 lines drawn from 50 distinct lines
  text/old, text/new            real text: the first 2,500,000 lines of the
                                files under /usr/include concatenated in
                                path order, 2,000 one-line edits (the bytes
                                follow the machine's headers)
  short/old, short/new          6,000,000 short lines drawn from 100
                                distinct values, 1,000 of them changed to
                                another of the values
  trees/a, trees/b              identical trees, 5,000 files of about 10 KB
  trees/c                       trees/b with 100 files edited (the others
                                are hard links to trees/b)
  dense2_50k, dense2_400k,      random lines of two values, 50,000, 400,000
  dense2_1m                     and 1,000,000 lines a side
  dense3_400k                   400,000 lines of three values drawn 80/15/5 %
  column_1m                     1,000,000 lines of one digit each, the new
                                file with 1 % of them rewritten to another
  moved_400k                    400,000 lines of four values, the new file
                                with the first fifth moved to the end
  (the dense family: few distinct lines, files that differ a lot or long)
  distinct_1m, distinct_4m,     random lines (almost all distinct) at 1, 4 and
  distinct_16m                  16 million a side, 0.1 % of them edited
                                as in the similar pair (1.3 GB in all)
  inputs.stamp                  the parameters the files were made with
"""

import argparse
import os
import random
import sys

# Printable text with blanks weighted like prose: lines look like text to
# the binary test and hash like ordinary lines.
TEXT_ALPHABET = (b"abcdefghijklmnopqrstuvwxyz" * 3 + b"ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                 + b"0123456789" + b" " * 16 + b"(){};,.=+-*/_<>")
# Two alphabets without a byte in common except the blank: a line of one can
# never equal a line of the other, as every line holds a non-blank byte.
LOWER_ALPHABET = b"abcdefghijklmnopqrstuvwxyz" + b" " * 5
UPPER_ALPHABET = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789" + b" " * 6

# Line lengths without the newline; the mean line is 40 bytes with it.
MIN_LINE, MAX_LINE = 8, 70

STAMP_NAME = "inputs.stamp"
GENERATOR_VERSION = 3


def byte_map(alphabet):
    """A 256-byte translation table that sends any byte into the alphabet."""
    return bytes(alphabet[i % len(alphabet)] for i in range(256))


def random_lines(rng, count, alphabet):
    """count random lines (without newlines) over the alphabet; each starts
    with a non-blank byte."""
    lengths = [rng.randint(MIN_LINE, MAX_LINE) for _ in range(count)]
    text = rng.randbytes(sum(lengths)).translate(byte_map(alphabet))
    firsts = rng.randbytes(count).translate(byte_map(alphabet.replace(b" ", b"")))
    lines = []
    at = 0
    for i, length in enumerate(lengths):
        lines.append(firsts[i:i + 1] + text[at + 1:at + length])
        at += length
    return lines


def write_lines(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(b"\n".join(lines))
        if lines:
            out.write(b"\n")


def edit_lines(rng, lines, edit_count, alphabet):
    """A copy of lines with edit_count one-line edits at scattered places:
    in turn a changed line, an inserted line and a deleted line."""
    places = set(rng.sample(range(len(lines)), min(edit_count, len(lines))))
    fresh = iter(random_lines(rng, len(places), alphabet))
    edited = []
    kind = 0
    for i, line in enumerate(lines):
        if i not in places:
            edited.append(line)
            continue
        if kind == 0:
            edited.append(next(fresh))
        elif kind == 1:
            edited.append(line)
            edited.append(next(fresh))
        kind = (kind + 1) % 3
    return edited


def prefix_of_size(lines, size):
    """The shortest run of leading lines holding at least size bytes."""
    total = 0
    for count, line in enumerate(lines, start=1):
        total += len(line) + 1
        if total >= size:
            return lines[:count]
    return lines


def make_similar_and_helper(work, scale):
    rng = random.Random(20240601)
    old = random_lines(rng, int(2_000_000 * scale), TEXT_ALPHABET)
    new = edit_lines(rng, old, max(1, int(2_000 * scale)), TEXT_ALPHABET)
    write_lines(os.path.join(work, "similar", "old"), old)
    write_lines(os.path.join(work, "similar", "new"), new)
    # The same number of lines from both, so the cut keeps the edits aligned.
    head = len(prefix_of_size(old, int(1_000_000 * scale)))
    write_lines(os.path.join(work, "helper", "old"), old[:head])
    write_lines(os.path.join(work, "helper", "new"), new[:head])


def make_disjoint(work, scale):
    rng = random.Random(20240602)
    count = int(500_000 * scale)  # 20 MB at 40 bytes a line
    write_lines(os.path.join(work, "disjoint", "old"), random_lines(rng, count, LOWER_ALPHABET))
    write_lines(os.path.join(work, "disjoint", "new"), random_lines(rng, count, UPPER_ALPHABET))


def make_repeats(work, scale):
    rng = random.Random(20240603)
    distinct = random_lines(rng, 50, TEXT_ALPHABET)
    count = int(50_000 * scale)
    for name in ("old", "new"):
        write_lines(os.path.join(work, "repeats", name), [rng.choice(distinct) for _ in range(count)])


def header_lines(count):
    """The first count lines of the regular files under /usr/include, read
    in path order; real text with the repeats real files have (blank lines,
    braces, closing comments)."""
    paths = []
    for root, dirs, files in os.walk("/usr/include"):
        dirs.sort()
        paths.extend(os.path.join(root, f) for f in files)
    lines = []
    for path in sorted(paths):
        if len(lines) >= count:
            break
        if os.path.islink(path) or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        if b"\0" in data:
            continue
        lines.extend(data.splitlines())
    return lines[:count]


def make_text(work, scale):
    rng = random.Random(20240605)
    old = header_lines(int(2_500_000 * scale))
    new = edit_lines(rng, old, max(1, int(2_000 * scale)), TEXT_ALPHABET)
    write_lines(os.path.join(work, "text", "old"), old)
    write_lines(os.path.join(work, "text", "new"), new)


def make_short(work, scale):
    rng = random.Random(20240606)
    values = [b"%d" % v for v in range(100)]
    count = int(6_000_000 * scale)
    old = rng.choices(values, k=count)
    new = list(old)
    for at in rng.sample(range(count), min(count, max(1, int(1_000 * scale)))):
        new[at] = rng.choice([v for v in values if v != old[at]])
    write_lines(os.path.join(work, "short", "old"), old)
    write_lines(os.path.join(work, "short", "new"), new)


def write_pair(work, name, old, new):
    write_lines(os.path.join(work, name, "old"), old)
    write_lines(os.path.join(work, name, "new"), new)


def make_dense(work, scale):
    """The dense family; rng.choices keeps each pair to a second or so."""
    two = [b"0", b"1"]
    for seed, name, count in ((20240611, "dense2_50k", 50_000), (20240612, "dense2_400k", 400_000),
                              (20240613, "dense2_1m", 1_000_000)):
        rng = random.Random(seed)
        count = int(count * scale)
        write_pair(work, name, rng.choices(two, k=count), rng.choices(two, k=count))
    rng = random.Random(20240614)
    count = int(400_000 * scale)
    three = [b"common", b"less", b"rare"]
    write_pair(work, "dense3_400k", rng.choices(three, weights=(80, 15, 5), k=count),
               rng.choices(three, weights=(80, 15, 5), k=count))
    rng = random.Random(20240615)
    count = int(1_000_000 * scale)
    digits = [b"%d" % d for d in range(10)]
    old = rng.choices(digits, k=count)
    new = list(old)
    for at in rng.sample(range(count), count // 100):
        new[at] = digits[(int(old[at]) + rng.randrange(1, 10)) % 10]
    write_pair(work, "column_1m", old, new)
    rng = random.Random(20240616)
    count = int(400_000 * scale)
    old = rng.choices([b"north", b"south", b"east", b"west"], k=count)
    write_pair(work, "moved_400k", old, old[count // 5:] + old[:count // 5])


def make_distinct(work, scale):
    """Written a slice at a time, so that 16 million lines a side need no
    more memory than one slice."""
    slice_lines = 100_000
    for seed, name, count in ((20240621, "distinct_1m", 1_000_000),
                              (20240622, "distinct_4m", 4_000_000),
                              (20240623, "distinct_16m", 16_000_000)):
        rng = random.Random(seed)
        count = int(count * scale)
        os.makedirs(os.path.join(work, name), exist_ok=True)
        with open(os.path.join(work, name, "old"), "wb") as old_file, \
                open(os.path.join(work, name, "new"), "wb") as new_file:
            for start in range(0, count, slice_lines):
                old = random_lines(rng, min(slice_lines, count - start), TEXT_ALPHABET)
                new = edit_lines(rng, old, max(1, len(old) // 1000), TEXT_ALPHABET)
                old_file.write(b"\n".join(old) + b"\n")
                new_file.write(b"\n".join(new) + b"\n")


def tree_file_names(dirs, files):
    return [os.path.join("d%03d" % d, "f%04d.txt" % f) for d in range(dirs) for f in range(files)]


def make_trees(work, scale):
    rng = random.Random(20240604)
    names = tree_file_names(50, max(1, int(100 * scale)))  # 50 directories
    contents = {}
    for name in names:
        contents[name] = random_lines(rng, 250, TEXT_ALPHABET)  # about 10 KB
        for tree in ("a", "b"):
            write_lines(os.path.join(work, "trees", tree, name), contents[name])
    edited = set(rng.sample(names, min(len(names), max(1, int(100 * scale)))))
    for name in names:
        target = os.path.join(work, "trees", "c", name)
        if name in edited:
            lines = list(contents[name])
            lines[rng.randrange(len(lines))] = random_lines(rng, 1, TEXT_ALPHABET)[0]
            write_lines(target, lines)
        else:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            os.link(os.path.join(work, "trees", "b", name), target)


STEPS = (make_similar_and_helper, make_disjoint, make_repeats, make_text, make_short, make_trees,
         make_dense, make_distinct)


def step_name(step):
    return step.__name__[len("make_"):]


def stamp_text(scale, names):
    return "generator %d scale %r steps %s\n" % (GENERATOR_VERSION, scale, ",".join(names))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", required=True, help="directory to write the inputs into")
    parser.add_argument("--scale", type=float, default=1.0, help="size factor (default 1)")
    parser.add_argument("--only", help="comma-separated steps to run (%s; default all)"
                        % ", ".join(step_name(s) for s in STEPS))
    args = parser.parse_args()
    if not 0 < args.scale <= 1:
        sys.exit("generate_inputs: --scale must lie in (0, 1]")
    steps = [s for s in STEPS if not args.only or step_name(s) in args.only.split(",")]
    if not steps:
        sys.exit("generate_inputs: no step named in --only")
    stamp = os.path.join(args.work, STAMP_NAME)
    text = stamp_text(args.scale, [step_name(s) for s in steps])
    if os.path.exists(stamp) and open(stamp).read() == text:
        print("inputs already in %s" % args.work)
        return
    if os.path.exists(args.work) and os.listdir(args.work):
        sys.exit("generate_inputs: %s is not empty; remove it first" % args.work)
    os.makedirs(args.work, exist_ok=True)
    for step in steps:
        print("generating: %s" % step_name(step), flush=True)
        step(args.work, args.scale)
    with open(stamp, "w") as out:
        out.write(text)


if __name__ == "__main__":
    main()
