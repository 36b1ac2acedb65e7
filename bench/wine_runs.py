"""The Wine part: each Windows build against Wine's xcopy and robocopy and
the floor, in a console and with its output redirected."""

from __future__ import annotations

import dataclasses
import os
import shutil
import subprocess
import sys
from pathlib import Path

from settings import ANSWERS, APP_HOME, ROBOCOPY_QUIET, SHORTCUT, BenchError, Settings, WineBuild, log
from stages import LogWatcher, Stage, stages
from timing import Run, Series
from trees import Tree, list_files, read_tree
from verify import check_install, check_peer_copy, remove_copy, tail
from wine_console import WineConsole, wine_path


@dataclasses.dataclass
class WineResult:
    build: WineBuild
    program: Path
    version: str
    trees: dict[str, Tree]  # by size: "small", "large"
    series: dict[str, dict[str, Series]]  # by size, then by case
    robocopy_problem: str | None  # why robocopy was not measured, when it was not
    stages: list[Stage]  # of one more install on the smaller tree, output to a file

    @property
    def tree(self) -> Tree:
        return self.trees["large"]

    def copied(self, key: str, size: str) -> int:
        """Files the case copies on the tree of that size."""
        tree = self.trees[size]
        return len(tree.files) + (len(tree.data) if key.split("_")[0] in ("floor", "setup", "baseline") else 0)


# The Wine cases, in the order they run in each round.
WINE_CASES = (
    ("xcopy_console", "`xcopy /E /I /Y`, console"),
    ("robocopy_console", "`robocopy /E` (quiet), console"),
    ("floor_console", "floor (bench/floor.cpp), console"),
    ("setup_console", "setup.exe, console (bar drawn)"),
    ("baseline_console", "baseline setup.exe, console"),
    ("xcopy_file", "`xcopy /E /I /Y`, output to a file"),
    ("robocopy_file", "`robocopy /E` (quiet), output to a file"),
    ("floor_file", "floor (bench/floor.cpp), output to a file"),
    ("setup_file", "setup.exe, output to a file"),
    ("baseline_file", "baseline setup.exe, output to a file"),
)


def probe_robocopy(console: WineConsole, base: Path) -> str | None:
    """Runs Wine's robocopy on a small tree; gives why it cannot be measured,
    or None when it copies."""
    source = base / "robocopy-probe"
    (source / "sub" / "deeper").mkdir(parents=True)
    (source / "top.txt").write_bytes(b"top\r\n")
    (source / "sub" / "middle.dat").write_bytes(os.urandom(3000))
    (source / "sub" / "deeper" / "bottom.sql").write_bytes(b"select 1 from dual;\r\n")
    dest = console.drive_c / "robocopy-probe"
    status, _, screen = console.run([console.build.loader, console.program("robocopy.exe"), wine_path(source),
                                     "C:\\robocopy-probe", "/E", *ROBOCOPY_QUIET],
                                    base / "work-robocopy-probe", None, None)
    copied = len(list_files(dest, digests=False)) if dest.is_dir() else 0
    # robocopy's exit status is a bit mask below 8 on success.
    if status < 8 and copied == 3:
        return None
    shown = screen.decode(errors="replace").strip()
    why = f"Wine's robocopy does not work here: it ended with status {status} and copied {copied} of 3 files"
    if shown:
        return why + f" (it printed: {shown[:200]!r})"
    if status == 16 and copied == 0:
        # What the stub robocopy.exe of Wine 8 does; its only trace is a fixme message.
        return why + " and printed nothing, as the stub robocopy.exe of this Wine does"
    return why + " and printed nothing"


def run_wine(settings: Settings, scratch: Path, build: WineBuild, tree_roots: dict[str, Path],
             consoles: list[WineConsole]) -> WineResult:
    base = scratch / f"wine-{build.name}"
    console = WineConsole(build, base, settings.timeout, settings.wine_prefix_template)
    consoles.append(console)
    program = settings.setup_exe[build.name]
    version = subprocess.run([build.loader, "--version"], stdout=subprocess.PIPE, text=True).stdout.strip()
    baseline = settings.baseline_exe.get(build.name)
    for tree_root in tree_roots.values():
        shutil.copy2(program, tree_root / "setup.exe")
        if baseline:
            shutil.copy2(baseline, tree_root / "baseline-setup.exe")
    floor_exe = settings.setup_exe[build.name].parent / "bench" / "floor.exe"
    if not floor_exe.is_file():
        raise BenchError(f"{floor_exe} is missing; build the tree of {settings.setup_exe[build.name]}")
    trees = {size: read_tree(root, settings.wine_files_small if size == "small" else settings.wine_files)
             for size, root in tree_roots.items()}
    answers = base / "answers"
    console.create()
    answers.write_bytes(ANSWERS)
    out = base / "out"
    out.mkdir()

    log(f"{build.name}: warm-up")
    warm = [build.loader, console.program("xcopy.exe"), "/E", "/I", "/Y", wine_path(tree_roots["large"] / "config"),
            "C:\\warm"]
    status, _, _ = console.run(warm, base / "work-warm", None, base / "warm.txt")
    if status != 0:
        raise BenchError(f"{build.name}: warm-up xcopy ended with status {status}")
    robocopy_problem = probe_robocopy(console, base)
    if robocopy_problem:
        log(f"{build.name}: NOTE {robocopy_problem}; no robocopy figures")

    series = {size: {key: Series(label) for key, label in WINE_CASES} for size in trees}
    timeline: list[Stage] = []

    def peer(tree: Tree, tool: str, mode: str, run_name: str) -> Run:
        name = f"{tool}-{mode}-{run_name}"
        source, dest = wine_path(tree.root), f"C:\\{name}"
        if tool == "xcopy":
            argv = [build.loader, console.program("xcopy.exe"), "/E", "/I", "/Y", source, dest]
        else:
            argv = [build.loader, console.program("robocopy.exe"), source, dest, "/E", *ROBOCOPY_QUIET]
        os.sync()
        status, run, _ = console.run(argv, out / f"work-{name}", None,
                                     out / f"stdout-{name}" if mode == "file" else None)
        failed = status != 0 if tool == "xcopy" else status >= 8
        if failed:
            raise BenchError(f"{build.name}: {tool} ({mode}) run {run_name} ended with status {status}")
        check_peer_copy(f"{build.name}: {tool} ({mode}) run {run_name}", tree, console.drive_c / name)
        remove_copy(console.drive_c / name)
        return run

    def floor(tree: Tree, mode: str, run_name: str) -> Run:
        # The same work as an install's copy: the tree into APP_HOME, then its
        # data folder into DATA_HOME; one log line per copied file.
        name = f"floor-{mode}-{run_name}"
        work = out / f"work-{name}"
        app = f"C:\\{name}"
        argv = [build.loader, str(floor_exe), wine_path(tree.root), app,
                wine_path(tree.root / "data"), app + "\\data"]
        os.sync()
        status, run, _ = console.run(argv, work, None, out / f"stdout-{name}" if mode == "file" else None)
        label = f"{build.name}: floor ({mode}) run {run_name}"
        if status != 0:
            raise BenchError(f"{label} ended with status {status}")
        check_peer_copy(label, tree, console.drive_c / name)
        lines = (work / "install.log").read_bytes().count(b"\r\n")
        if lines != len(tree.files) + len(tree.data):
            raise BenchError(f"{label}: install.log holds {lines} lines, expected {len(tree.files) + len(tree.data)}")
        remove_copy(console.drive_c / name)
        return run

    def install(tree: Tree, mode: str, run_name: str, exe: str = "setup.exe", watch: bool = False) -> Run:
        who = exe.replace(".exe", "")
        work = out / f"work-{who}-{mode}-{run_name}"
        output = out / f"stdout-{who}-{mode}-{run_name}"
        label = f"{build.name}: {exe} ({mode}) run {run_name}"
        os.sync()
        argv = [build.loader, str(tree.root / exe)]
        if watch:
            work.mkdir(parents=True)
            with LogWatcher(work) as watcher:
                status, run, screen = console.run(argv, work, answers, output if mode == "file" else None)
            timeline[:] = stages(watcher.entries, *console.last_span)
        else:
            status, run, screen = console.run(argv, work, answers, output if mode == "file" else None)
        shown = output.read_bytes() if mode == "file" else screen
        if status != 0:
            sys.stderr.write(tail(shown) + "\n")
            raise BenchError(f"{label} ended with status {status}")
        if mode == "console" and b"] 100%" not in screen:
            raise BenchError(f"{label}: no finished progress bar on the screen")
        check_install(label, tree, console.drive_c, work, shown, console.desktop)
        remove_copy(console.drive_c / APP_HOME.parts[0])
        (console.desktop / SHORTCUT).unlink()
        return run

    for i in range(1, settings.wine_repeat + 1):
        for key, _ in WINE_CASES:
            what, mode = key.split("_")
            if what == "robocopy" and robocopy_problem or what == "baseline" and not baseline:
                continue
            for size, tree in trees.items():
                name = f"{size}-{i}"
                if what == "setup":
                    run = install(tree, mode, name)
                elif what == "baseline":
                    run = install(tree, mode, name, "baseline-setup.exe")
                elif what == "floor":
                    run = floor(tree, mode, name)
                else:
                    run = peer(tree, what, mode, name)
                series[size][key].runs.append(run)
                log(f"{build.name} run {i}/{settings.wine_repeat}, {size} tree: {series[size][key].label}: "
                    f"{run.seconds:.3f} s" + (f" (cpu {run.cpu:.2f} s, peak {run.rss_kb} KB)" if run.rss_kb else ""))
    # One more install, not timed with the others, for the time of each stage.
    install(trees["small"], "file", "stages", watch=True)
    console.stop()
    return WineResult(build, program, version, trees, series, robocopy_problem, timeline)
