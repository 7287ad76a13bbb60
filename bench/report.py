"""Turns the benchmark results of tools/bench into a markdown report.

    python3 bench/report.py RESULTS_DIR LAUNCHER.exe BARE_FLOOR.exe DIALOG_FLOOR.exe \
        RUNTIME_DIALOG_FLOOR.exe
"""

import collections
import os
import statistics
import sys

LATENCY_TARGET = 1.00
COPY_TARGET = 1.5
SIZE_TARGET = 12 * 1024

NAMES = {
    "launcher.exe": "launcher.exe (product installed)",
    "bench_floor_dialog_runtime.exe": "floor: same dialog, start from WM_INITDIALOG; "
                                      "mingw-w64's runtime",
    "bench_floor_dialog.exe": "floor: same dialog, start from WM_INITDIALOG; no runtime",
    "bench_floor_shell.exe": "floor: ShellExecuteA alone; no runtime",
}


def rows(path):
    with open(path, encoding="ascii") as table:
        return [line.rstrip("\n").split("\t") for line in table if line.strip()]


def by_round(records):
    """{name: {round: milliseconds}} from NAME TAB ROUND TAB MS [TAB ...] rows."""
    times = collections.defaultdict(dict)
    for record in records:
        times[os.path.basename(record[0].replace("\\", "/"))][int(record[1])] = float(record[2])
    return times


def paired_ratio(numerator, denominator):
    rounds = sorted(set(numerator) & set(denominator))
    return statistics.median(numerator[r] / denominator[r] for r in rounds), len(rounds)


def verdict(value, target):
    return "met" if value <= target else "**not met**"


def latency(results):
    records = rows(os.path.join(results, "latency.tsv"))
    times = by_round(records)
    missed = collections.Counter(os.path.basename(r[0].replace("\\", "/"))
                                 for r in records if r[3] != "1")
    out = ["## Decision latency under Wine", "",
           "From CreateProcessA to the end of the process; the product is installed, so each "
           "program starts the stub as the product's main program and ends.", "",
           "| program | median ms | min ms | max ms | runs | stub not seen |",
           "|---|---:|---:|---:|---:|---:|"]
    for name in NAMES:
        values = list(times[name].values())
        out.append(f"| {NAMES[name]} | {statistics.median(values):.1f} | {min(values):.1f} | "
                   f"{max(values):.1f} | {len(values)} | {missed[name]} |")
    runtime, pairs = paired_ratio(times["launcher.exe"], times["bench_floor_dialog_runtime.exe"])
    dialog, _ = paired_ratio(times["launcher.exe"], times["bench_floor_dialog.exe"])
    shell, _ = paired_ratio(times["launcher.exe"], times["bench_floor_shell.exe"])
    # The target is set against the dialog program as it is usually linked: what
    # the launcher saves by loading no runtime DLL has to pay for its probes.
    out += ["",
            f"- launcher / dialog floor with mingw-w64's runtime, median of {pairs} pairs: "
            f"**{runtime:.3f}** (target at most {LATENCY_TARGET:.2f}: "
            f"{verdict(runtime, LATENCY_TARGET)})",
            f"- launcher / dialog floor without a runtime (the probes' own cost), median of "
            f"{pairs} pairs: **{dialog:.3f}**",
            f"- launcher / ShellExecuteA floor, median of {pairs} pairs: **{shell:.3f}**", ""]
    return out


def sizes(launcher, bare, dialog, runtime_dialog):
    out = ["## Size", "",
           "| program | bytes | KiB |", "|---|---:|---:|"]
    for label, path in (("launcher.exe", launcher), ("bare program (ShellExecuteA floor)", bare),
                        ("dialog floor", dialog),
                        ("dialog floor with mingw-w64's runtime", runtime_dialog)):
        size = os.path.getsize(path)
        out.append(f"| {label} | {size} | {size / 1024:.1f} |")
    size = os.path.getsize(launcher)
    out += ["", f"- launcher.exe: {size} bytes, target at most {SIZE_TARGET} "
                f"({verdict(size, SIZE_TARGET)})", ""]
    return out


def copy(results):
    times = by_round(rows(os.path.join(results, "copy.tsv")))
    ratio, pairs = paired_ratio(times["blocks"], times["CopyFileA"])
    out = ["## Copy of a 16 MiB file under Wine", "",
           "| method | median ms | min ms | max ms |", "|---|---:|---:|---:|"]
    for name, label in (("blocks", "CopyFileBlocks (1024-byte blocks)"), ("CopyFileA", "CopyFileA")):
        values = list(times[name].values())
        out.append(f"| {label} | {statistics.median(values):.1f} | {min(values):.1f} | "
                   f"{max(values):.1f} |")
    out += ["", f"- CopyFileBlocks / CopyFileA, median of {pairs} pairs: **{ratio:.2f}** "
                f"(target at most {COPY_TARGET}: {verdict(ratio, COPY_TARGET)})", ""]
    return out


def font_check(results):
    times = by_round(rows(os.path.join(results, "fontcheck.tsv")))
    out = ["## Font check of a 20-font manifest under Wine", "",
           "Every font is recorded after all other values, so each of the 20 checks walks the "
           "whole Fonts key; nothing is copied.", "",
           "| values in the Fonts key | median ms | per check ms | per value and check µs |",
           "|---:|---:|---:|---:|"]
    for values in sorted(times, key=int):
        median = statistics.median(times[values].values())
        out.append(f"| {int(values):,} | {median:.1f} | {median / 20:.2f} | "
                   f"{median * 1000 / 20 / int(values):.2f} |")
    return out + [""]


def main():
    results, launcher, bare, dialog, runtime_dialog = sys.argv[1:6]
    report = ["# Benchmarks", ""]
    report += (latency(results) + sizes(launcher, bare, dialog, runtime_dialog) + copy(results)
               + font_check(results))
    print("\n".join(report))


if __name__ == "__main__":
    main()
