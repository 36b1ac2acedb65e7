"""The results in markdown: the README's table, each part's cases, ratios and
targets."""

from __future__ import annotations

import dataclasses
import datetime
import os
import statistics
import subprocess
from pathlib import Path

from native import NativeResult
from settings import (CONSOLE_COLUMNS, CONSOLE_ROWS, GENERATED_SCRIPTS, NATIVE_FLOOR_TARGET, NATIVE_TARGET, REPO,
                      WINE_FLOOR_TARGET, Settings)
from timing import Series, ratio, seconds
from trees import mib
from wine_runs import WINE_CASES, WineResult


@dataclasses.dataclass
class Verdict:
    text: str
    missed: bool


def judge(value: float, base: float, limit: float) -> Verdict:
    met = base > 0 and value / base <= limit
    return Verdict(f"{ratio(value, base)} {'met' if met else 'MISSED'}", not met)


def program_line(program: Path) -> str:
    try:
        shown = program.relative_to(REPO)
    except ValueError:
        shown = program
    built = datetime.datetime.fromtimestamp(program.stat().st_mtime).strftime("%Y-%m-%d %H:%M:%S")
    return f"`{shown}` ({program.stat().st_size:,} bytes, built {built})"


def revision() -> str:
    def git(*args: str) -> str:
        done = subprocess.run(["git", *args], cwd=REPO, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        return done.stdout.strip() if done.returncode == 0 else ""

    rev = git("rev-parse", "--short", "HEAD") or "unknown"
    if git("status", "--porcelain", "--", ".", ":!bench"):
        rev += " + uncommitted changes"
    return rev


def filesystem(path: Path) -> str:
    done = subprocess.run(["findmnt", "-n", "-o", "SOURCE,FSTYPE,OPTIONS", "-T", str(path)],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return " ".join(done.stdout.split()) or "unknown"


def row(*cells: str) -> str:
    return "| " + " | ".join(cells) + " |"


def paired_line(add, what: str, install: Series, baseline: Series) -> None:
    """The ratio of each round to the baseline's run of the same round, and their median."""
    if not baseline.runs:
        return
    paired = [a.seconds / b.seconds for a, b in zip(install.runs, baseline.runs)]
    add(f"{what}, paired per round: " + " ".join(f"{r:.2f}" for r in paired)
        + f"; median {statistics.median(paired):.2f}.")


def report(settings: Settings, native: NativeResult | None, wine: list[WineResult],
           loads: tuple[str, str], started: datetime.datetime) -> tuple[str, bool]:
    """The results in markdown, and whether a target was missed."""
    lines: list[str] = []
    missed = False
    add = lines.append
    add(f"Setup copy benchmark, {started:%Y-%m-%d %H:%M} UTC, commit {revision()}"
        + (" (--quick smoke run)" if settings.quick else ""))
    add("")
    add(f"{os.cpu_count()} cores; scratch in {settings.scratch_parent} on {filesystem(settings.scratch_parent)}; "
        f"load average {loads[0]} at the start, {loads[1]} at the end. Times are wall-clock seconds: the median "
        "and the best of the runs (other load only ever adds time, so the best run is the one it disturbed least); "
        "ratios are install / baseline, of medians and of best runs.")
    add("")

    # The summary, the table for the README.
    add(row("run", "baseline, s: median (best)", "install, s: median (best)", "ratio: medians (best runs)"))
    add(row("---", "---", "---", "---"))

    def summary(name: str, baseline: str, peer: Series, install: Series) -> None:
        add(row(name, f"{baseline} {seconds(peer.median)} ({seconds(peer.best)})",
                f"{seconds(install.median)} ({seconds(install.best)})",
                f"{ratio(install.median, peer.median)} ({ratio(install.best, peer.best)})"))

    if native:
        n = native
        first = f"native, {len(n.tree.files):,} files ({mib(n.tree.bytes)} MiB)"
        for series, how in ((n.file, "output to a file"), (n.pty, "output on a pseudo-terminal (bar drawn)")):
            summary(f"{first}, {how}", "`cp -r`", n.cp, series)
            summary(f"native, the same, {how}", "`cp -r` of the same work", n.cp_both, series)
            summary(f"native, the same, {how}", "floor", n.floor, series)
            first = "native, the same"
    for w in wine:
        first = f"Wine, {w.build.name} ({w.build.description}), {len(w.tree.files):,} files ({mib(w.tree.bytes)} MiB)"
        for tool, shown in (("xcopy", "`xcopy /E /I /Y`"), ("robocopy", "`robocopy /E`")):
            for mode, how in (("console", "both in a console"), ("file", "both with output redirected to a file")):
                if w.series[f"{tool}_{mode}"].runs:
                    summary(f"{first}, {how}", shown, w.series[f"{tool}_{mode}"], w.series[f"setup_{mode}"])
                    first = f"Wine, {w.build.name}, the same"
        for mode, how in (("console", "in a console"), ("file", "output redirected to a file")):
            summary(f"{first}, {how}", "floor", w.series[f"floor_{mode}"], w.series[f"setup_{mode}"])
    add("")
    problems = {w.robocopy_problem for w in wine if w.robocopy_problem}
    for problem in sorted(problems):
        names = ", ".join(w.build.name for w in wine if w.robocopy_problem == problem)
        add(f"robocopy not measured ({names}): {problem}.")
        add("")

    if native:
        n = native
        add(f"### Native: {program_line(n.program)}, {settings.repeat} runs of each case, interleaved")
        add("")
        add(f"Tree: {n.tree.describe()} ({n.tree.small:,} small files of 1-4 KB, {settings.big_files} x "
            f"{settings.big_mb} MB, the program). `cp -r` copies {len(n.tree.files):,} files; the install copies "
            f"{len(n.tree.files) + len(n.tree.data):,} files, {mib(n.tree.bytes + n.tree.data_bytes)} MiB (the tree "
            "into APP_HOME, then the data folder again into DATA_HOME = APP_HOME\\data, overwriting), which is "
            "what \"the same work\" copies.")
        add("")
        add(row("case", "median", "best", "CPU", "× `cp -r`", "best / best", "× same work", "CPU / CPU", "runs"))
        add(row("---", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---"))
        for series in (n.cp, n.cp_both, n.pty, n.file):
            add(row(series.label, seconds(series.median), seconds(series.best), seconds(series.cpu),
                    ratio(series.median, n.cp.median), ratio(series.best, n.cp.best),
                    ratio(series.median, n.cp_both.median), ratio(series.cpu, n.cp.cpu), series.all_runs()))
        add("")
        add(f"Peak resident memory of the install: {n.pty.rss_kb:,} KB (pseudo-terminal), {n.file.rss_kb:,} KB (file).")
        if n.escapes_in_file:
            add("NOTE: the output redirected to a file holds escape sequences.")
        for mode, text in (("pty", "on a pseudo-terminal"), ("file", "output to a file")):
            paired_line(add, f"install ÷ baseline, {text}", getattr(n, mode), getattr(n, f"baseline_{mode}"))
        verdicts = [judge(n.pty.median, n.floor.median, NATIVE_FLOOR_TARGET),
                    judge(n.pty.median, n.cp_both.median, NATIVE_TARGET)]
        missed |= any(v.missed for v in verdicts)
        add(f"Targets, medians: install on a pseudo-terminal ≤ {NATIVE_FLOOR_TARGET}× the floor {verdicts[0].text}; "
            f"≤ {NATIVE_TARGET}× `cp -r` of the same work {verdicts[1].text}.")
        add("")

    for w in wine:
        add(f"### Wine ({w.version}): {program_line(w.program)}, {w.build.description}, loader `{w.build.loader}`, "
            f"{settings.wine_repeat} runs of each case, interleaved")
        add("")
        reduced = ""
        if settings.native and settings.wine_files != settings.files:
            reduced = f", reduced from {settings.files:,}"
        add(f"Tree: {w.tree.describe()} ({w.tree.small:,} small files{reduced}, {settings.big_files} x "
            f"{settings.big_mb} MB, the program). Each run is a fresh process in a fresh tmux console "
            f"({CONSOLE_COLUMNS}x{CONSOLE_ROWS}) on a private Wine prefix whose server stays up; the peers are "
            f"Wine's own {w.build.name[3:]}-bit xcopy.exe and robocopy.exe, run by the same loader. The install "
            f"copies {len(w.tree.files) + len(w.tree.data):,} files, starts cmd for the sqlplus stand-in and writes "
            "the shortcut; all times include Wine's process start.")
        add("")
        xcopy = w.series["xcopy_console"]
        add(row("case", "median", "best", "CPU", "× xcopy, console", "best / best", "runs"))
        add(row("---", "---:", "---:", "---:", "---:", "---:", "---"))
        for key, _ in WINE_CASES:
            series = w.series[key]
            if not series.runs:
                add(row(series.label, "n/a", "n/a", "n/a", "n/a", "n/a", "not measured"))
                continue
            add(row(series.label, seconds(series.median), seconds(series.best), seconds(series.cpu),
                    ratio(series.median, xcopy.median),
                    ratio(series.best, xcopy.best), series.all_runs()))
        add("")
        setup_c, setup_f = w.series["setup_console"], w.series["setup_file"]
        add(f"setup.exe with its output to a file against xcopy with its output to a file: "
            f"{ratio(setup_f.median, w.series['xcopy_file'].median)} (medians), "
            f"{ratio(setup_f.best, w.series['xcopy_file'].best)} (best runs).")
        for mode, text in (("console", "in a console"), ("file", "output to a file")):
            setup, floor_series = w.series[f"setup_{mode}"], w.series[f"floor_{mode}"]
            add(f"setup.exe ÷ floor, {text}: {ratio(setup.median, floor_series.median)} (medians), "
                f"{ratio(setup.best, floor_series.best)} (best runs); setup.exe ÷ xcopy, {text}: "
                f"{ratio(setup.median, w.series[f'xcopy_{mode}'].median)} (medians).")
            paired_line(add, f"setup.exe ÷ baseline, {text}", setup, w.series[f"baseline_{mode}"])
        add(f"Peak resident memory of the setup.exe process: {setup_c.rss_kb or 0:,} KB (console), "
            f"{setup_f.rss_kb or 0:,} KB (file).")
        verdicts = [judge(setup_f.median, w.series["floor_file"].median, WINE_FLOOR_TARGET["file"]),
                    judge(setup_c.median, w.series["floor_console"].median, WINE_FLOOR_TARGET["console"])]
        missed |= any(v.missed for v in verdicts)
        add(f"Targets, medians: setup.exe ≤ {WINE_FLOOR_TARGET['file']}× the floor with output redirected "
            f"{verdicts[0].text}; ≤ {WINE_FLOOR_TARGET['console']}× the floor in a console {verdicts[1].text}.")
        add("")

    add(f"All installs verified: exit status 0; APP_HOME = the tree + {len(GENERATED_SCRIPTS)} generated scripts and "
        "DATA_HOME = the tree's data folder, every file by name, size and SHA-1; one install.log entry per copied "
        "file and the closing entry; the summary shown; the shortcut on the desktop; a finished bar on a "
        "pseudo-terminal or console. Every peer copy holds the tree's file names and sizes.")
    return "\n".join(lines) + "\n", missed
