"""The results in markdown: the README's table, each part's cases, ratios and
targets."""

from __future__ import annotations

import dataclasses
import datetime
import os
import statistics
import subprocess
import types
from pathlib import Path

from native import NATIVE_CASES, NativeResult
from settings import (CONSOLE_COLUMNS, CONSOLE_ROWS, GENERATED_SCRIPTS, NATIVE_FLOOR_TARGET, NATIVE_PAIRED_TARGET,
                      NATIVE_TARGET, REPO, WINE_FIXED_TARGET, WINE_PAIRED_TARGET, WINE_PER_FILE_TARGET, Settings)
from stages import Stage
from timing import Series, Slope, ratio, seconds, slope
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


def paired_line(add, what: str, install: Series, baseline: Series) -> float | None:
    """The ratio of each round to the baseline's run of the same round, and
    their median, which it gives."""
    if not baseline.runs:
        return None
    paired = [a.seconds / b.seconds for a, b in zip(install.runs, baseline.runs)]
    add(f"{what}, paired per round: " + " ".join(f"{r:.2f}" for r in paired)
        + f"; median {statistics.median(paired):.2f}.")
    return statistics.median(paired)


def judge_paired(median: float | None, limit: float) -> Verdict:
    if median is None:
        return Verdict("not measured (no baseline given)", False)
    met = median <= limit
    return Verdict(f"{median:.2f} {'met' if met else 'MISSED'}", not met)


SIZE_NAMES = {"large": "larger", "small": "smaller"}


# The cases of each part that copy what the floor copies, with the floor of
# their output mode.
SLOPE_CASES = {
    "native": (("pty", "floor"), ("file", "floor"), ("baseline_pty", "floor"), ("baseline_file", "floor"),
               ("floor", None), ("cp_both", "floor")),
    "wine": (("setup_file", "floor_file"), ("baseline_file", "floor_file"), ("floor_file", None),
             ("setup_console", "floor_console"), ("baseline_console", "floor_console"), ("floor_console", None),
             ("xcopy_file", None), ("xcopy_console", None)),
}


def slopes(series: dict[str, dict[str, Series]], copied, best: bool = False) -> dict[str, Slope]:
    result = {}
    for key in series["large"]:
        found = slope(series["small"][key], series["large"][key], copied(key, "small"), copied(key, "large"), best)
        if found:
            result[key] = found
    return result


def slope_rows(add, name: str, labels: dict[str, str], series: dict[str, dict[str, Series]], copied,
               cases) -> dict[str, Slope]:
    """A row per case of the cost per copied file and per run, against the floor's."""
    found, found_best = slopes(series, copied), slopes(series, copied, best=True)
    for key, floor_key in cases:
        if key not in found:
            continue
        cells = []
        for figures in (found, found_best):
            own, floor = figures[key], figures.get(floor_key) if floor_key else None
            cells += [f"{own.per_file * 1000:.3f}", ratio(own.per_file, floor.per_file) if floor else "",
                      f"{own.fixed:.3f}", f"{own.fixed - floor.fixed:+.3f}" if floor else ""]
        add(row(name, labels[key], f"{copied(key, 'small'):,} / {copied(key, 'large'):,}",
                f"{seconds(series['small'][key].median)} / {seconds(series['large'][key].median)}",
                *cells[:4], f"{seconds(series['small'][key].best)} / {seconds(series['large'][key].best)}",
                *cells[4:]))
    return found


def stage_lines(add, title: str, stages: list[Stage]) -> None:
    if not stages:
        return
    add(f"{title}: " + "; ".join(f"{stage.name} {stage.seconds * 1000:.0f} ms" for stage in stages) + ".")
    add("")


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
    for name, why in settings.not_measured.items():
        add(f"{name} is not measured: {why}.")
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
        c = types.SimpleNamespace(**n.series["large"])
        first = f"native, {len(n.tree.files):,} files ({mib(n.tree.bytes)} MiB)"
        for series, how in ((c.file, "output to a file"), (c.pty, "output on a pseudo-terminal (bar drawn)")):
            summary(f"{first}, {how}", "`cp -r`", c.cp, series)
            summary(f"native, the same, {how}", "`cp -r` of the same work", c.cp_both, series)
            summary(f"native, the same, {how}", "floor", c.floor, series)
            first = "native, the same"
    for w in wine:
        big = w.series["large"]
        first = f"Wine, {w.build.name} ({w.build.description}), {len(w.tree.files):,} files ({mib(w.tree.bytes)} MiB)"
        for tool, shown in (("xcopy", "`xcopy /E /I /Y`"), ("robocopy", "`robocopy /E`")):
            for mode, how in (("console", "both in a console"), ("file", "both with output redirected to a file")):
                if big[f"{tool}_{mode}"].runs:
                    summary(f"{first}, {how}", shown, big[f"{tool}_{mode}"], big[f"setup_{mode}"])
                    first = f"Wine, {w.build.name}, the same"
        for mode, how in (("console", "in a console"), ("file", "output redirected to a file")):
            summary(f"{first}, {how}", "floor", big[f"floor_{mode}"], big[f"setup_{mode}"])
    add("")

    # The cost per file and per run, from both tree sizes.
    add("Per copied file and per run: every case timed on both trees (the same folders, "
        f"{settings.files_small:,} and {settings.files:,} small files natively, {settings.wine_files_small:,} and "
        f"{settings.wine_files:,} under Wine) in the same interleaved rounds. The cost per file is the difference "
        "of the medians over the difference of the files copied; the fixed cost is what is left of the smaller "
        "tree's median (process start, the stages, the per-folder work, the large files). The same from the best runs "
        "follows: other load only ever adds time, so on a shared machine the best runs disturb the figures least.")
    add("")
    add(row("part", "case", "files copied, smaller / larger", "median, s: smaller / larger", "per file, ms",
            "× the floor's", "fixed, s", "beyond the floor's, s", "best, s: smaller / larger", "per file, best, ms",
            "× the floor's", "fixed, best, s", "beyond the floor's, s"))
    add(row("---", "---", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---:", "---:"))
    if native:
        slope_rows(add, "native", dict(NATIVE_CASES), native.series, native.copied,
                                  SLOPE_CASES["native"])
    found_wine = {}
    for w in wine:
        found_wine[w.build.name] = slope_rows(add, f"Wine, {w.build.name}", dict(WINE_CASES), w.series, w.copied,
                                              SLOPE_CASES["wine"])
    add("")
    if native:
        stage_lines(add, f"Native, stages of one more install on the smaller tree, output to a file (times from "
                    "outside, as install.log's entries landed)", native.stages)
    for w in wine:
        stage_lines(add, f"Wine, {w.build.name}, stages of one more install on the smaller tree, output to a file "
                    "(times from outside, as install.log's entries landed)", w.stages)
    problems = {w.robocopy_problem for w in wine if w.robocopy_problem}
    for problem in sorted(problems):
        names = ", ".join(w.build.name for w in wine if w.robocopy_problem == problem)
        add(f"robocopy not measured ({names}): {problem}.")
        add("")

    if native:
        n = native
        c = types.SimpleNamespace(**n.series["large"])
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
        for series in (c.cp, c.cp_both, c.pty, c.file):
            add(row(series.label, seconds(series.median), seconds(series.best), seconds(series.cpu),
                    ratio(series.median, c.cp.median), ratio(series.best, c.cp.best),
                    ratio(series.median, c.cp_both.median), ratio(series.cpu, c.cp.cpu), series.all_runs()))
        add("")
        add(f"Peak resident memory of the install: {c.pty.rss_kb:,} KB (pseudo-terminal), {c.file.rss_kb:,} KB (file).")
        if n.escapes_in_file:
            add("NOTE: the output redirected to a file holds escape sequences.")
        paired = {}
        for size in ("large", "small"):
            for mode, text in (("pty", "on a pseudo-terminal"), ("file", "output to a file")):
                paired[size, mode] = paired_line(add, f"install ÷ baseline, {SIZE_NAMES[size]} tree, {text}",
                                                 n.series[size][mode], n.series[size][f"baseline_{mode}"])
        verdicts = [judge(c.pty.median, c.floor.median, NATIVE_FLOOR_TARGET),
                    judge(c.pty.median, c.cp_both.median, NATIVE_TARGET),
                    judge_paired(paired["large", "pty"], NATIVE_PAIRED_TARGET)]
        missed |= any(v.missed for v in verdicts)
        add(f"Targets, medians: install on a pseudo-terminal ≤ {NATIVE_FLOOR_TARGET}× the floor {verdicts[0].text}; "
            f"≤ {NATIVE_TARGET}× `cp -r` of the same work {verdicts[1].text}; ≤ {NATIVE_PAIRED_TARGET} the baseline "
            f"on a pseudo-terminal, paired, larger tree: {verdicts[2].text}.")
        add("")

    for w in wine:
        big = w.series["large"]
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
        xcopy = big["xcopy_console"]
        add(row("case", "median", "best", "CPU", "× xcopy, console", "best / best", "runs"))
        add(row("---", "---:", "---:", "---:", "---:", "---:", "---"))
        for key, _ in WINE_CASES:
            series = big[key]
            if not series.runs:
                add(row(series.label, "n/a", "n/a", "n/a", "n/a", "n/a", "not measured"))
                continue
            add(row(series.label, seconds(series.median), seconds(series.best), seconds(series.cpu),
                    ratio(series.median, xcopy.median),
                    ratio(series.best, xcopy.best), series.all_runs()))
        add("")
        setup_c, setup_f = big["setup_console"], big["setup_file"]
        add(f"setup.exe with its output to a file against xcopy with its output to a file: "
            f"{ratio(setup_f.median, big['xcopy_file'].median)} (medians), "
            f"{ratio(setup_f.best, big['xcopy_file'].best)} (best runs).")
        for mode, text in (("console", "in a console"), ("file", "output to a file")):
            setup, floor_series = big[f"setup_{mode}"], big[f"floor_{mode}"]
            add(f"setup.exe ÷ floor, {text}: {ratio(setup.median, floor_series.median)} (medians), "
                f"{ratio(setup.best, floor_series.best)} (best runs); setup.exe ÷ xcopy, {text}: "
                f"{ratio(setup.median, big[f'xcopy_{mode}'].median)} (medians).")
        add(f"Peak resident memory of the setup.exe process: {setup_c.rss_kb or 0:,} KB (console), "
            f"{setup_f.rss_kb or 0:,} KB (file).")
        paired = {}
        for size in ("large", "small"):
            for mode, text in (("file", "output to a file"), ("console", "in a console")):
                paired[size, mode] = paired_line(add, f"setup.exe ÷ baseline, {SIZE_NAMES[size]} tree, {text}",
                                                 w.series[size][f"setup_{mode}"], w.series[size][f"baseline_{mode}"])
        own = found_wine[w.build.name]
        verdicts = []
        for mode in ("file", "console"):
            if f"setup_{mode}" in own and f"floor_{mode}" in own:
                verdicts.append(judge(own[f"setup_{mode}"].per_file, own[f"floor_{mode}"].per_file,
                                      WINE_PER_FILE_TARGET[mode]))
            else:
                verdicts.append(Verdict("not measured", False))
        if "setup_file" in own and "floor_file" in own:
            surplus = own["setup_file"].fixed - own["floor_file"].fixed
            verdicts.append(Verdict(f"{surplus:.3f} s {'met' if surplus < WINE_FIXED_TARGET else 'MISSED'}",
                                    surplus >= WINE_FIXED_TARGET))
        else:
            verdicts.append(Verdict("not measured", False))
        verdicts.append(judge_paired(paired["large", "file"], WINE_PAIRED_TARGET))
        missed |= any(v.missed for v in verdicts)
        add(f"Targets: setup.exe's cost per copied file ≤ {WINE_PER_FILE_TARGET['file']}× the floor's with output "
            f"redirected {verdicts[0].text}, ≤ {WINE_PER_FILE_TARGET['console']}× in a console {verdicts[1].text}; "
            f"its fixed cost beyond the floor's, redirected, < {WINE_FIXED_TARGET} s: {verdicts[2].text}; "
            f"≤ {WINE_PAIRED_TARGET} the baseline, paired, redirected, larger tree: {verdicts[3].text}.")
        add("")

    add(f"All installs verified: exit status 0; APP_HOME = the tree + {len(GENERATED_SCRIPTS)} generated scripts and "
        "DATA_HOME = the tree's data folder, every file by name, size and SHA-1; one install.log entry per copied "
        "file and the closing entry; the summary shown; the shortcut on the desktop; a finished bar on a "
        "pseudo-terminal or console. Every peer copy holds the tree's file names and sizes.")
    return "\n".join(lines) + "\n", missed
