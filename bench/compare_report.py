#!/usr/bin/env python3
"""Checks that every tool of bench/compare found the same duplicate files and
writes bench/RESULTS.md from hyperfine's and /usr/bin/time's figures.

Documented differences, taken out before comparing: empty files (Vantrel and
fdupes group them, jdupes, rdfind and rmlint leave them out), hard links and
symbolic links (the corpora hold none)."""

import argparse
import datetime
import json
import os
import platform
import statistics
import sys


def groups_of_blocks(text):
    """fdupes, jdupes and rmlint's fdupes output: groups separated by blank lines."""
    groups, current = [], []
    for line in text.splitlines():
        if line.strip():
            current.append(line)
        elif current:
            groups.append(current)
            current = []
    if current:
        groups.append(current)
    return groups


def groups_of_vantrel(text):
    by_group = {}
    for line in text.splitlines():
        cells = line.split("\t")
        if len(cells) == 6:
            by_group.setdefault(cells[0], []).append(cells[1])
    return list(by_group.values())


def groups_of_rdfind(text):
    by_id = {}
    for line in text.splitlines():
        if line.startswith("#") or not line.strip():
            continue
        fields = line.split(" ", 7)
        by_id.setdefault(abs(int(fields[1])), []).append(fields[7])
    return list(by_id.values())


PARSERS = {"vantrel": groups_of_vantrel, "vantrel-sha1-crc32": groups_of_vantrel,
           "rdfind": groups_of_rdfind}


def normalised(groups):
    out = set()
    for g in groups:
        kept = frozenset(p for p in g if os.path.getsize(p) > 0)
        if len(kept) >= 2:
            out.add(kept)
    return out


def mem_per_file(mib, files):
    return f"{mib * 1024 * 1024 / files:.0f}"


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def medians(path):
    if not os.path.exists(path):
        return {}
    with open(path) as f:
        data = json.load(f)
    return {r["command"]: statistics.median(r["times"]) for r in data["results"]}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--cold", type=int, default=0)
    ap.add_argument("--small", type=int, default=0)
    ap.add_argument("--seed", default="7")
    ap.add_argument("--load-before", default="?")
    ap.add_argument("--load-after", default="?")
    ap.add_argument("--corpora", nargs="+", required=True)
    ap.add_argument("--scales", nargs="+", required=True)
    ap.add_argument("--tools", nargs="+", required=True)
    a = ap.parse_args()

    failures = []
    found = {}
    for kind in a.corpora:
        sets = {}
        for tool in a.tools:
            if tool.startswith("floor"):
                continue  # counts only
            with open(os.path.join(a.work, f"out-{kind}-{tool}"), errors="surrogateescape") as f:
                text = f.read()
            sets[tool] = normalised(PARSERS.get(tool, groups_of_blocks)(text))
        reference = sets["vantrel"]
        found[kind] = (len(reference), sum(len(g) for g in reference))
        for tool in sets:
            if sets[tool] != reference:
                only_tool = sets[tool] - reference
                only_ref = reference - sets[tool]
                failures.append(f"{kind}: {tool} differs from vantrel: {len(only_tool)} groups only "
                                f"in {tool}, {len(only_ref)} only in vantrel; e.g. "
                                f"{sorted(next(iter(only_tool or only_ref)))[:3]}")

    peers = [t for t in a.tools if not t.startswith("vantrel") and not t.startswith("floor")]
    floors = [t for t in a.tools if t.startswith("floor")]
    lines = []
    # A corpus runs at a tenth when its folder is its name with "-small"
    # ("many-small" itself is a full-size name).
    small_ones = [s for k, s in zip(a.corpora, a.scales) if s == k + "-small"]
    scale = ("full size" if not small_ones else
             "every corpus at a tenth (`--small`)" if a.small else
             "full size except " + ", ".join(small_ones) + " (a tenth)")
    lines += ["# Vantrel against jdupes, fdupes, rdfind and rmlint", "",
              f"Made by `bench/compare` on {datetime.date.today().isoformat()}, {scale}, seed {a.seed}.",
              f"CPU: {cpu_model()}, {os.cpu_count()} logical cores; kernel {platform.release()}.",
              f"Load average (1, 5, 15 min) before the runs: {a.load_before}; after: {a.load_after} "
              "(the runs' own load included).", "",
              "Wall times are hyperfine medians in seconds: warm = one warm-up run, then 5; "
              "cold = page cache dropped before each of 3 runs. Peak memory is the maximum "
              "resident set size of one more run (`/usr/bin/time`). A ratio is Vantrel's median "
              "over the peer's: below 1.00 Vantrel is faster. `vantrel` computes MD5 for every "
              "row; `vantrel-sha1-crc32` adds SHA-1 and CRC-32. `floor-1` and `floor-8` are the "
              "least I/O any byte-confirming search must do (walk, stat, first block of each file "
              "of a shared size, full read of the files that agree on it; no digest), on one "
              "thread and on eight (`bench/floor.cpp`); the better of the two is the floor.", ""]
    if not a.cold:
        lines += ["**Cold runs were not measured:** this machine does not permit dropping the "
                  "page cache (`echo 3 > /proc/sys/vm/drop_caches`: permission denied), so "
                  "every figure below is warm.", ""]
    goal_rows = []
    for kind in a.corpora:
        warm = medians(os.path.join(a.work, f"warm-{kind}.json"))
        cold = medians(os.path.join(a.work, f"cold-{kind}.json"))
        mem = {}
        for tool in a.tools:
            with open(os.path.join(a.work, f"mem-{kind}-{tool}")) as f:
                mem[tool] = int(f.read().split()[-1]) / 1024.0
        groups, files = found[kind]
        counted = None
        floor_out = os.path.join(a.work, f"out-{kind}-{floors[0]}") if floors else None
        if floor_out and os.path.exists(floor_out):
            with open(floor_out) as f:
                words = f.read().split()
            if len(words) >= 2 and words[0] == "files":
                counted = int(words[1])
        lines += [f"## {a.scales[a.corpora.index(kind)]}", "",
                  f"Duplicate groups (empty files left out): {groups}, files in them: {files}."
                  + (f" Files: {counted}; Vantrel's peak memory per file: "
                     f"{mem_per_file(mem['vantrel'], counted)} bytes." if counted else ""), "",
                  "| tool | warm (s) | cold (s) | peak memory (MiB) | vantrel / tool, warm | vantrel / tool, cold |",
                  "|---|---:|---:|---:|---:|---:|"]
        for tool in a.tools:
            w = warm.get(tool)
            c = cold.get(tool)
            rw = f"{warm['vantrel'] / w:.2f}" if tool in peers and w else ""
            rc = f"{cold['vantrel'] / c:.2f}" if tool in peers and c else ""
            lines.append(f"| {tool} | {w:.3f} | {'' if c is None else f'{c:.3f}'} | {mem[tool]:.1f} | {rw} | {rc} |")
        fastest = min(peers, key=lambda t: warm[t])
        peer_mem = statistics.median(mem[t] for t in peers)
        floor_warm = min((warm[t] for t in floors if t in warm), default=None)
        floor_cold = min((cold[t] for t in floors if t in cold), default=None)
        over_floor_warm = f"{warm['vantrel'] / floor_warm:.2f}" if floor_warm else ""
        over_floor_cold = f"{cold['vantrel'] / floor_cold:.2f}" if floor_cold and cold.get('vantrel') else ""
        goal_rows.append(f"| {a.scales[a.corpora.index(kind)]} | {fastest} | {warm['vantrel'] / warm[fastest]:.2f} | "
                         f"{warm['vantrel-sha1-crc32'] / warm[fastest]:.2f} | "
                         f"{(cold['vantrel'] / min(cold[t] for t in peers)) if cold else float('nan'):.2f} | "
                         f"{mem['vantrel']:.1f} / {peer_mem:.1f} | {over_floor_warm} | {over_floor_cold} |")
        lines.append("")
    lines += ["## Against the fastest peer", "",
              "| corpus | fastest peer (warm) | vantrel / fastest, warm | vantrel-sha1-crc32 / fastest, warm "
              "| vantrel / fastest, cold | vantrel memory / peers' median (MiB) | Vantrel / floor, warm "
              "| Vantrel / floor, cold |",
              "|---|---|---:|---:|---:|---:|---:|---:|"] + goal_rows + [""]
    lines += ["## Check", ""]
    if failures:
        lines += ["**The tools disagree:**", ""] + [f"- {f}" for f in failures]
    else:
        lines += ["Every tool found the same duplicate files (empty files left out: Vantrel and "
                  "fdupes group them, the others do not)."]
    with open(a.out, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("\n".join(lines))
    if failures:
        print("bench/compare: THE TOOLS FOUND DIFFERENT DUPLICATES", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
