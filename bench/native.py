"""The native part: build/linux/setup against cp -r and the floor."""

from __future__ import annotations

import dataclasses
import getpass
import os
import shutil
import sys
from pathlib import Path

from settings import ANSWERS, APP_HOME, BenchError, Settings, log
from timing import Run, Series, read_usage, run_on_pty, run_to_file, with_usage
from trees import Tree, generate_tree, read_tree
from verify import check_install, check_peer_copy, remove_copy, tail
from wine_console import wine_path


@dataclasses.dataclass
class NativeResult:
    program: Path
    tree: Tree
    cp: Series
    cp_both: Series
    pty: Series
    file: Series
    floor: Series
    baseline_pty: Series
    baseline_file: Series
    escapes_in_file: bool = False


def run_native(settings: Settings, scratch: Path) -> NativeResult:
    base = scratch / "native"
    (base / "bin").mkdir(parents=True)
    (base / "out").mkdir()
    log(f"native tree: {settings.files} small files in {settings.folders} folders, "
        f"{settings.big_files} x {settings.big_mb} MB")
    generate_tree(base / "tree", settings.files, settings.folders, settings.big_files, settings.big_mb)
    shutil.copy2(settings.setup_linux, base / "tree" / "setup")
    baseline = settings.baseline_exe.get("linux")
    if baseline:
        # Beside the program, so that both copy the same tree.
        shutil.copy2(baseline, base / "tree" / "setup-baseline")
    sqlplus = base / "bin" / "sqlplus"
    sqlplus.write_text("#!/bin/sh\nexit 0\n")
    sqlplus.chmod(0o755)
    answers = base / "answers"
    answers.write_bytes(ANSWERS)
    tree = read_tree(base / "tree", settings.files)
    log(f"native tree: {tree.describe()}")

    result = NativeResult(settings.setup_linux, tree,
                          cp=Series("`cp -r` of the tree"),
                          cp_both=Series("`cp -r` of the tree, then of its data folder over the copy"),
                          pty=Series("install, output on a pseudo-terminal (bar drawn)"),
                          file=Series("install, output to a file"),
                          floor=Series("floor (bench/floor.cpp), the same work as an install's copy"),
                          baseline_pty=Series("baseline install, output on a pseudo-terminal"),
                          baseline_file=Series("baseline install, output to a file"))
    # The floor of the tree the measured program comes from.
    floor_program = settings.setup_linux.parent / "bench" / "floor"
    if not floor_program.is_file():
        raise BenchError(f"{floor_program} is missing; build the tree of {settings.setup_linux}")
    user = getpass.getuser()

    def copy(kind: str, run_name: str) -> Run:
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

    def install(mode: str, run_name: str, program: str = "setup") -> Run:
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
        status, run = runner(with_usage([str(tree.root / program)], usage_file), answers, out, settings.timeout,
                             label, cwd=work, env=env)
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

    def floor(kind: str, run_name: str) -> Run:
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

    # A warm-up, so every timed run reads the tree from the page cache.
    def baseline_install(mode: str, run_name: str) -> Run:
        return install(mode, run_name, "setup-baseline")

    copy("plain", "warm-up")
    cases = [(result.cp, copy, "plain"), (result.pty, install, "pty"), (result.cp_both, copy, "both"),
             (result.file, install, "file"), (result.floor, floor, "floor")]
    if baseline:
        cases += [(result.baseline_pty, baseline_install, "pty"), (result.baseline_file, baseline_install, "file")]
    for i in range(1, settings.repeat + 1):
        for series, step, kind in cases:
            run = step(kind, str(i))
            series.runs.append(run)
            log(f"native run {i}/{settings.repeat}: {series.label}: {run.seconds:.3f} s (cpu {run.cpu:.3f} s"
                + (f", peak {run.rss_kb} KB)" if run.rss_kb else ")"))
    return result
