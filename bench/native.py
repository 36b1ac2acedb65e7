"""The native part: build/linux/setup against cp -r and the floor."""

from __future__ import annotations

import dataclasses
import getpass
import os
import shutil
import sys
import time
from pathlib import Path

from settings import ANSWERS, APP_HOME, BenchError, Settings, log
from stages import LogWatcher, Stage, stages
from timing import Run, Series, read_usage, run_on_pty, run_to_file, with_usage
from trees import Tree, generate_tree, read_tree
from verify import check_install, check_peer_copy, remove_copy, tail
from wine_console import wine_path


# The native cases, in the order they run in each round, on each tree size.
NATIVE_CASES = (
    ("cp", "`cp -r` of the tree"),
    ("pty", "install, output on a pseudo-terminal (bar drawn)"),
    ("cp_both", "`cp -r` of the tree, then of its data folder over the copy"),
    ("file", "install, output to a file"),
    ("floor", "floor (bench/floor.cpp), the same work as an install's copy"),
    ("baseline_pty", "baseline install, output on a pseudo-terminal"),
    ("baseline_file", "baseline install, output to a file"),
)


@dataclasses.dataclass
class NativeResult:
    program: Path
    trees: dict[str, Tree]  # by size: "small", "large"
    series: dict[str, dict[str, Series]]  # by size, then by case
    stages: list[Stage]  # of one more install on the smaller tree, output to a file
    escapes_in_file: bool = False

    @property
    def tree(self) -> Tree:
        return self.trees["large"]

    def copied(self, key: str, size: str) -> int:
        """Files the case copies on the tree of that size."""
        tree = self.trees[size]
        return len(tree.files) + (0 if key == "cp" else len(tree.data))


def run_native(settings: Settings, scratch: Path) -> NativeResult:
    base = scratch / "native"
    (base / "bin").mkdir(parents=True)
    (base / "out").mkdir()
    baseline = settings.baseline_exe.get("linux")
    trees = {}
    for size, small in (("small", settings.files_small), ("large", settings.files)):
        root = base / f"tree-{size}"
        log(f"native tree ({size}): {small} small files in {settings.folders} folders, "
            f"{settings.big_files} x {settings.big_mb} MB")
        generate_tree(root, small, settings.folders, settings.big_files, settings.big_mb)
        shutil.copy2(settings.setup_linux, root / "setup")
        if baseline:
            # Beside the program, so that both copy the same tree.
            shutil.copy2(baseline, root / "setup-baseline")
        trees[size] = read_tree(root, small)
        log(f"native tree ({size}): {trees[size].describe()}")
    sqlplus = base / "bin" / "sqlplus"
    sqlplus.write_text("#!/bin/sh\nexit 0\n")
    sqlplus.chmod(0o755)
    answers = base / "answers"
    answers.write_bytes(ANSWERS)

    result = NativeResult(settings.setup_linux, trees,
                          {size: {key: Series(label) for key, label in NATIVE_CASES} for size in trees}, [])
    # The floor of the tree the measured program comes from.
    floor_program = settings.setup_linux.parent / "bench" / "floor"
    if not floor_program.is_file():
        raise BenchError(f"{floor_program} is missing; build the tree of {settings.setup_linux}")
    user = getpass.getuser()

    def copy(tree: Tree, kind: str, run_name: str) -> Run:
        dest = base / "out" / f"cp-{kind}-{run_name}"
        os.sync()
        status, run = run_to_file(["cp", "-r", str(tree.root), str(dest)], None, base / "out" / f"cp-{kind}.txt",
                                  settings.timeout, "cp -r")
        if status != 0:
            raise BenchError(f"cp -r ended with status {status}")
        if kind == "both":
            status, second = run_to_file(["cp", "-r", f"{tree.root}/data/.", f"{dest}/data/"], None,
                                         base / "out" / f"cp-{kind}.txt", settings.timeout, "cp -r data")
            if status != 0:
                raise BenchError(f"cp -r of the data folder ended with status {status}")
            run.seconds += second.seconds
            run.cpu += second.cpu
        check_peer_copy(f"cp -r ({kind}) run {run_name}", tree, dest)
        remove_copy(dest)
        return run

    def install(tree: Tree, mode: str, run_name: str, program: str = "setup", watch: bool = False) -> Run:
        run_name = f"{program}-{run_name}"
        drive = base / "out" / f"c-{mode}-{run_name}"
        work = base / "out" / f"work-{mode}-{run_name}"
        out = base / "out" / f"stdout-{mode}-{run_name}"
        desktop = drive / "users" / user / "Desktop"
        desktop.mkdir(parents=True)
        work.mkdir()
        env = dict(os.environ, SETUP_DRIVE_C=str(drive), PATH=f"{base / 'bin'}:{os.environ.get('PATH', '')}",
                   USER=user)
        label = f"native install ({mode}) run {run_name}"
        os.sync()
        runner = run_on_pty if mode == "pty" else run_to_file
        usage_file = base / "out" / f"usage-{mode}-{run_name}"
        argv = with_usage([str(tree.root / program)], usage_file)
        if watch:
            with LogWatcher(work) as watcher:
                started = time.time()
                status, run = runner(argv, answers, out, settings.timeout, label, cwd=work, env=env)
                ended = time.time()
            result.stages = stages(watcher.entries, started, ended)
        else:
            status, run = runner(argv, answers, out, settings.timeout, label, cwd=work, env=env)
        run.rss_kb = read_usage(usage_file)[0]
        output = out.read_bytes()
        if status != 0:
            sys.stderr.write(tail(output) + "\n")
            raise BenchError(f"{label} ended with status {status}")
        if mode == "pty":
            if b"\x1b[32m" not in output or b"100%" not in output:
                raise BenchError(f"{label}: no progress bar drawn (no colour sequences or 100% in its output)")
        elif b"\x1b[" in output:
            result.escapes_in_file = True
        check_install(label, tree, drive, work, output, desktop)
        remove_copy(drive)
        return run

    def floor(tree: Tree, kind: str, run_name: str) -> Run:
        drive = base / "out" / f"c-floor-{run_name}"
        work = base / "out" / f"work-floor-{run_name}"
        work.mkdir(parents=True)
        drive.mkdir()
        app = "C:\\" + "\\".join(APP_HOME.parts)
        argv = [str(floor_program), wine_path(tree.root), app, wine_path(tree.root / "data"), app + "\\data"]
        status, run = run_to_file(argv, None, base / "out" / f"floor-{run_name}.txt", settings.timeout,
                                  "floor", cwd=work, env=dict(os.environ, SETUP_DRIVE_C=str(drive)))
        if status != 0:
            raise BenchError(f"native floor run {run_name} ended with status {status}")
        check_peer_copy(f"native floor run {run_name}", tree, drive / APP_HOME)
        remove_copy(drive)
        lines = (work / "install.log").read_bytes().count(b"\r\n")
        if lines != len(tree.files) + len(tree.data):
            raise BenchError(f"native floor run {run_name}: install.log holds {lines} lines, expected "
                             f"{len(tree.files) + len(tree.data)}")
        return run

    def baseline_install(tree: Tree, mode: str, run_name: str) -> Run:
        return install(tree, mode, run_name, "setup-baseline")

    # A warm-up, so every timed run reads the trees from the page cache.
    for size, tree in trees.items():
        copy(tree, "plain", f"warm-up-{size}")
    steps = {"cp": (copy, "plain"), "pty": (install, "pty"), "cp_both": (copy, "both"), "file": (install, "file"),
             "floor": (floor, "floor"), "baseline_pty": (baseline_install, "pty"),
             "baseline_file": (baseline_install, "file")}
    for i in range(1, settings.repeat + 1):
        for key, _ in NATIVE_CASES:
            if key.startswith("baseline") and not baseline:
                continue
            step, kind = steps[key]
            for size, tree in trees.items():
                series = result.series[size][key]
                run = step(tree, kind, f"{size}-{i}")
                series.runs.append(run)
                log(f"native run {i}/{settings.repeat}, {size} tree: {series.label}: {run.seconds:.3f} s "
                    f"(cpu {run.cpu:.3f} s" + (f", peak {run.rss_kb} KB)" if run.rss_kb else ")"))
    # One more install, not timed with the others, for the time of each stage.
    install(trees["small"], "file", "stages", watch=True)
    return result
