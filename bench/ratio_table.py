#!/usr/bin/env python3
"""ratio_table.py - turns Google Benchmark JSON output into bench/RESULTS.md.

Benchmarks are named "<family>/<operation>/<side>[/args]" with side "qorb"
(the library) or "peer" (what a programmer would use instead). Each pair
becomes one row: library time / peer time, from the median of the
repetitions; CPU time, or real time for several threads and for waits. Targets come from the families' expectations; a row that
misses its target says why.
"""
import json
import re
import sys

# (pattern over the pair's name, target ratio, why a miss cannot be helped)
TARGETS = [
    (r"^memory/alloc_free/64/real_time/threads:1$", 2.5,
     "a block takes the memory mutex twice (on allocation and on free), is cleared, records "
     "its file name and has its guards and size checked against the host block "
     "(malloc_usable_size) on free, all as the contract asks: 630 instructions per block "
     "against 146 (callgrind), of which 212 are the two mutex pairs, 198 the tracking in "
     "MemAllocMem_ and MemFreeMem_, 139 the host's malloc and free under them"),
    (r"^memory/alloc_free/64/real_time/threads:4$", 10.0, None),
    (r"^sync/mutex_pair(_single_thread)?/", 1.2,
     "the handle is looked up in the slot table and the object's kind dispatched before "
     "the same futex-word step: 111 instructions per pair against 79 (callgrind); "
     "within 1.2x as soon as the process has a second thread"),
    (r"^parse/words_of_1MB", 3.0, None),
    (r"^file/match_7_names", 2.0, None),
    (r"^file/list_10000_files", 3.0, None),
    (r"^cmdline/parse_20_arguments", 3.0, None),
    (r"^ini/open_read_5000_keys", 3.0, None),
    (r"^swap/long_array_1MiB", 1.5, None),
    (r"^tag/records_100000", 2.0, None),
]

# What a reader should know about a row whatever its ratio.
NOTES = {
    r"^links/sort_": "no target set; sorts over a temporary array of the items "
                     "(the in-place walk took 8 to 35x on a scattered list)",
    r"^memory/alloc_free/": "tracked: header, guards, limits, registry link under the memory mutex",
    r"^sync/event_ping_pong": "no target set",
    r"^thread/job_dispatch": "no target set; the pool reuses its idle worker",
    r"^time/": "no target set",
    r"^error/": "no target set",
}


def load(paths):
    runs = {}
    context = None
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        context = context or data.get("context", {})
        for run in data["benchmarks"]:
            if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
                continue
            if run.get("error_occurred"):
                runs[run["run_name"]] = None
                continue
            name = run["run_name"]
            if run.get("run_type") == "iteration" and name in runs:
                continue  # a median, when present, wins over single runs
            seconds = run["real_time"] if uses_real_time(name) else run["cpu_time"]
            runs[name] = (seconds, run["time_unit"])
    return runs, context


def uses_real_time(name):
    # Several threads or a wait for another thread: the wall clock is the
    # measure. One thread alone: its CPU time, which others' load on the
    # machine disturbs far less.
    return "/real_time" in name and not name.endswith("threads:1")


UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def pair_name(name):
    return re.sub(r"/(qorb|peer)(?=/|$)", "", name, count=1)


def fmt_time(value, unit):
    seconds = value * UNIT[unit]
    for scale, label in ((1.0, "s"), (1e-3, "ms"), (1e-6, "us"), (1e-9, "ns")):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {label}"
    return f"{seconds / 1e-9:.3g} ns"


def first_match(table, name):
    for pattern, *rest in table:
        if re.search(pattern, name):
            return rest
    return None


def main(paths):
    runs, context = load(paths)
    rows, solo = [], []
    for name in runs:
        if "/qorb" not in name:
            continue
        peer = name.replace("/qorb", "/peer", 1)
        if peer not in runs:
            solo.append(name)
            continue
        rows.append((pair_name(name), runs[name], runs[peer]))
    out = ["# Benchmark results", "",
           "Written by `scripts/bench.sh` (Release, the `bench` preset): each row is the",
           "library's time over its peer's, the median of the repetitions: CPU time, or",
           "real time for several threads and for waits on another thread.", ""]
    load_avg = context.get("load_avg")
    out.append(f"Host: {context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz, "
               f"load average {', '.join(f'{x:.1f}' for x in load_avg) if load_avg else '?'} "
               f"when the run started, {context.get('date', '')}.")
    out += ["", "| benchmark | qorb32n | peer | ratio | target | met | note |",
            "|---|---|---|---|---|---|---|"]
    for name, mine, theirs in rows:
        target = first_match(TARGETS, name)
        note = NOTES.get(next((p for p in NOTES if re.search(p, name)), ""), "")
        if mine is None or theirs is None:
            out.append(f"| {name} | error | error | - | - | no | the benchmark reported an error |")
            continue
        ratio = (mine[0] * UNIT[mine[1]]) / (theirs[0] * UNIT[theirs[1]])
        if target is None:
            verdict, target_text = "-", "-"
        else:
            limit, reason = target
            target_text = f"{limit:g}x"
            verdict = "yes" if ratio <= limit else "no"
            if ratio > limit and reason:
                note = reason
        out.append(f"| {name} | {fmt_time(*mine)} | {fmt_time(*theirs)} | {ratio:.2f}x | "
                   f"{target_text} | {verdict} | {note} |")
    if solo:
        out += ["", "Library-only measurements:", "", "| benchmark | time |", "|---|---|"]
        for name in solo:
            out.append(f"| {name} | {fmt_time(*runs[name]) if runs[name] else 'error'} |")
    print("\n".join(out))


if __name__ == "__main__":
    main(sys.argv[1:])
