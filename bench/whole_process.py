#!/usr/bin/env python3
"""Whole-process benchmarks: qbkit as a user runs it, one fresh process per run.

usage: whole_process.py QBKIT MAKE_BENCH_DATA FOLDER [RUNS]

Makes the inputs with MAKE_BENCH_DATA in FOLDER, then times each command RUNS times (default
7, after one warm-up run) and prints the median wall time, the throughput and the largest
peak memory of a run, and the ratios that the targets are stated in. Every ratio compares
runs made in this one call, taken in turn, so a machine that speeds up or slows down during
the call affects both sides alike.

The yardstick of decompile and compile is the copy of the script text through user space,
dd if=big.txt of=copy.txt bs=1M: a decompile reads the QB file and writes that text to a
file, a compile reads the text and writes the QB file. Decompile is measured on one processor
and, where the machine has two, on two (the processors a run may use are set by its affinity);
dd runs on the same ones.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time


def run_once(argv, cwd, stdout=None, stdout_path=None):
    """Wall seconds and peak resident memory (MiB) of one run; fails on a non-zero status.
    Started with posix_spawn, which costs the timing little beside the command itself.
    Standard output goes to `stdout` (a file object), or to the file `stdout_path` in `cwd`,
    emptied within the timing as a shell's "> file" empties it, or else to the null device."""
    null = os.open(os.devnull, os.O_WRONLY)
    here = os.getcwd()
    os.chdir(cwd)
    out = None
    try:
        start = time.perf_counter()
        if stdout is not None:
            out = stdout.fileno()
        elif stdout_path is not None:
            out = os.open(stdout_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        actions = [(os.POSIX_SPAWN_DUP2, null if out is None else out, 1), (os.POSIX_SPAWN_DUP2, null, 2)]
        pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    finally:
        os.chdir(here)
        os.close(null)
        if stdout is None and out is not None:
            os.close(out)
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit("%s ended with status %d" % (" ".join(argv), code))
    return wall, usage.ru_maxrss / 1024.0


def timed(steps, runs):
    """Median wall time of `steps` (a function that runs one repetition and returns its
    seconds and peak MiB), after a warm-up, and the largest peak."""
    steps()
    results = [steps() for _ in range(runs)]
    return statistics.median(r[0] for r in results), max(r[1] for r in results)


def paired(a, b, runs):
    """Medians of a and of b and the median of their ratio, runs taken in turn."""
    a()
    b()
    ta, tb, ratios, peak = [], [], [], 0.0
    for _ in range(runs):
        x, pa = a()
        y, _ = b()
        ta.append(x)
        tb.append(y)
        ratios.append(x / y)
        peak = max(peak, pa)
    return statistics.median(ta), statistics.median(tb), statistics.median(ratios), peak


def on_processors(cpus, measure):
    """measure() with every process it starts allowed only the processors `cpus`."""
    before = os.sched_getaffinity(0)
    os.sched_setaffinity(0, cpus)
    try:
        return measure()
    finally:
        os.sched_setaffinity(0, before)


def text_copy_ratios(qbkit, folder, runs, text_size):
    """Decompile and compile against dd copying the text, as rows: paired runs, medians."""
    dd = shutil.which("dd")
    if dd is None:
        return [("decompile and compile / dd copy of the text", "dd not found", "")]

    def copy():
        return run_once([dd, "if=big.txt", "of=copy.txt", "bs=1M", "status=none"], folder)

    def decompile():
        return run_once([qbkit, "-d", "big.qb"], folder, stdout_path="big.qbs")

    def compile_text():
        return run_once([qbkit, "-c", "big.txt"], folder)

    rows = []
    pairs = max(runs, 11)
    usable = sorted(os.sched_getaffinity(0))
    cores = [("one processor", usable[:1])]
    if len(usable) >= 2:
        cores.append(("two processors", usable[:2]))
    for label, cpus in cores:
        ta, tb, ratio, peak = on_processors(set(cpus), lambda: paired(decompile, copy, pairs))
        rows.append(("decompile / dd copy of the %.1f MB text, %s" % (text_size / 1e6, label),
                     "%.2fx" % ratio, "%.1f ms / %.1f ms, peak %.1f MiB" % (ta * 1e3, tb * 1e3, peak)))
    ta, tb, ratio, peak = on_processors(set(usable[:1]), lambda: paired(compile_text, copy, pairs))
    rows.append(("compile / dd copy of the same text, one processor", "%.2fx" % ratio,
                 "%.1f ms / %.1f ms, peak %.1f MiB" % (ta * 1e3, tb * 1e3, peak)))
    return rows


def script_rows(qbkit, folder, runs):
    """The commands on script text, on an archive of 210 scripts packed from the list that
    make_bench_data wrote: unpack into a new folder, build after one edit, verify, and --refs
    of the name that most scripts declare."""
    run_once([qbkit, "-p", "pack", "scripts.prd", "members.txt"], folder)
    size = os.path.getsize(os.path.join(folder, "scripts.prd"))
    mod = os.path.join(folder, "mod")

    def unpack():
        shutil.rmtree(mod, ignore_errors=True)
        return run_once([qbkit, "-p", "unpack", "scripts.prd", "mod"], folder)

    rows = []
    t, peak = timed(unpack, runs)
    rows.append(("unpack, 210 scripts (%.1f MB archive)" % (size / 1e6), "%.3f s" % t, "peak %.1f MiB" % peak))

    # One edit: the first integer of the first script becomes another.
    script = os.path.join(mod, "scripts", "game", "script0.qbs")
    with open(script, "rb") as f:
        text = f.read()
    at = text.index(b"%i(")
    end = text.index(b")", at)
    with open(script, "wb") as f:
        f.write(text[:at] + b"%i(123456,0001e240)" + text[end + 1:])

    def build():
        shutil.copyfile(os.path.join(folder, "scripts.prd"), os.path.join(folder, "built.prd"))
        return run_once([qbkit, "-p", "build", "mod", "built.prd"], folder)

    t, peak = timed(build, runs)
    rows.append(("build after one edit, the same archive", "%.3f s" % t, "peak %.1f MiB" % peak))
    t, peak = timed(lambda: run_once([qbkit, "-p", "verify", "scripts.prd"], folder), runs)
    rows.append(("verify, the same archive", "%.3f s" % t, "peak %.1f MiB" % peak))

    counts = {}
    for root, _, files in os.walk(mod):
        for name in files:
            if name.endswith(".qbi"):
                with open(os.path.join(root, name), "rb") as f:
                    for line in f:
                        counts[line] = counts.get(line, 0) + 1
    common = max(counts, key=counts.get).split(b'"')[1].decode("latin-1")
    t, peak = timed(lambda: run_once([qbkit, "--refs", common, "scripts.prd"], folder), runs)
    rows.append(("--refs of a name that %d scripts declare, the same archive" % counts[max(counts, key=counts.get)],
                 "%.3f s" % t, "peak %.1f MiB" % peak))
    return rows


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    qbkit = os.path.abspath(sys.argv[1])
    folder = os.path.abspath(sys.argv[3])
    runs = int(sys.argv[4]) if len(sys.argv) == 5 else 7
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    subprocess.run([os.path.abspath(sys.argv[2]), folder], check=True)

    big = os.path.join(folder, "big.qb")
    qb_size = os.path.getsize(big)
    with open(os.path.join(folder, "big.txt"), "wb") as out:
        run_once([qbkit, "-d", "big.qb"], folder, stdout=out)
    text_size = os.path.getsize(os.path.join(folder, "big.txt"))
    run_once([qbkit, "-p", "new", "empty.prd"], folder)

    rows = []
    t, peak = timed(lambda: run_once([qbkit, "-d", "big.qb"], folder), runs)
    rows.append(("decompile, %.1f MB QB file (fresh process)" % (qb_size / 1e6),
                 "%.1f MB/s of input" % (qb_size / t / 1e6), "peak %.1f MiB" % peak))
    t, peak = timed(lambda: run_once([qbkit, "-c", "big.txt"], folder), runs)
    rows.append(("compile, %.1f MB text (fresh process)" % (text_size / 1e6),
                 "%.1f MB/s of text" % (text_size / t / 1e6), "peak %.1f MiB" % peak))
    rows += text_copy_ratios(qbkit, folder, runs, text_size)
    ta, tb, ratio, _ = paired(lambda: run_once([qbkit, "-p", "list", "empty.prd"], folder),
                              lambda: run_once(["/bin/true"], folder), max(runs, 21))
    rows.append(("trivial run (list of an empty archive) / /bin/true",
                 "%.2fx" % ratio, "%.2f ms / %.2f ms" % (ta * 1e3, tb * 1e3)))

    with open(os.path.join(folder, "members.txt")) as f:
        members = f.read().split()

    def rebuild():
        start = time.perf_counter()
        peak = 0.0
        run_once([qbkit, "-p", "new", "r.prd"], folder)
        for m in members:
            peak = max(peak, run_once([qbkit, "-p", "add", "r.prd", m, "0"], folder)[1])
        return time.perf_counter() - start, peak

    def pack():
        return run_once([qbkit, "-p", "pack", "p.prd", "members.txt"], folder)

    # The plain encoder on the same bytes in one process: the members as one file, one add.
    with open(os.path.join(folder, "all.bin"), "wb") as out:
        for m in members:
            with open(os.path.join(folder, m.replace("\\", "/")), "rb") as f:
                out.write(f.read())

    def add_all():
        start = time.perf_counter()
        run_once([qbkit, "-p", "new", "a.prd"], folder)
        peak = run_once([qbkit, "-p", "add", "a.prd", "all.bin", "0"], folder)[1]
        return time.perf_counter() - start, peak

    tr, tp, ratio, _ = paired(pack, rebuild, max(3, runs // 2))
    rows.append(("rebuild of %d members by one add each" % len(members), "%.3f s" % tp, ""))
    rows.append(("pack of the same members (game matcher)", "%.3f s" % tr, "pack / adds %.2fx" % ratio))
    tr, ta, ratio, _ = paired(pack, add_all, runs)
    rows.append(("the same bytes as one file, one add (plain encoder)", "%.3f s" % ta,
                 "pack / that %.2fx" % ratio))

    rows += script_rows(qbkit, os.path.join(folder, "profile"), runs)

    width = max(len(r[0]) for r in rows)
    print("Whole process, median of %d runs:" % runs)
    for name, figure, extra in rows:
        print("  %-*s  %-22s %s" % (width, name, figure, extra))


if __name__ == "__main__":
    main()
