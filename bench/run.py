#!/usr/bin/env python3
"""Copy-speed benchmark of the setup program.

Builds a source tree (many small files in nested folders, a few large ones,
and the folders config, install, com and data the program needs), then times
a whole default install on the same disk:

  natively: build/linux/setup, with its output on a pseudo-terminal (the bar
            is drawn) and redirected to a file, against `cp -r` of the tree
            and against `cp -r` of the same work the install does (the tree,
            then its data folder over the copy);
  under Wine: build/win32/setup.exe (the shipping exe, loader
            /usr/lib/wine/wine) and then build/win64/setup.exe (loader
            /usr/lib/wine/wine64), each in a tmux console and with its output
            redirected, against Wine's `xcopy /E /I /Y` and Wine's `robocopy
            /E` run the same two ways by the same loader. Each build gets a
            Wine prefix of its own.

Every install is checked: exit status 0; APP_HOME holds the tree plus the
three generated scripts and DATA_HOME the tree's data folder, every file by
name, size and SHA-1; install.log names one copied file per file copied;
the run ended with the summary; the shortcut is on the desktop; a run on a
pseudo-terminal or a console drew a finished bar. Every peer copy is checked
for names and sizes. A failed check ends the run with status 1.

Cases run interleaved, several times each; every run is printed, and the
medians, best runs and ratios go to a results file in markdown, ready to
paste into the README.

Nothing is deleted while runs are timed: every copy goes to a folder of its
own and the scratch folder goes at the end. On an ext4 without a journal, as
here, creating files within a minute of a large delete costs several times
more, which would swamp the figures; so start a run a minute after large
deletions, or use --dir /dev/shm for figures that leave the disk out.

Exit status: 0 when every step succeeded, 1 when a step failed (a wrong copy,
a non-zero exit status, a run that did not end in time, a missing tool or
program), 2 when --strict is given and a speed target was missed.
"""

from __future__ import annotations

import argparse
import dataclasses
import datetime
import fcntl
import functools
import getpass
import hashlib
import os
import random
import shlex
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent

# What the default answers produce, relative to the drive's root.
APP_HOME = Path("XEPDB1") / "QUARNDEL"
SHORTCUT = "QUARNDEL.lnk"
GENERATED_SCRIPTS = ("config/set_env.sql", "config/set_env.bat", "install/auto_install.sql")
# Six defaults, the confirmation, the RETURN after the summary.
ANSWERS = b"\n\n\n\n\n\nY\n\n"
COMPLETE_TEXT = b"Installation complete. Press RETURN to exit."
COMPLETED_ENTRY = b"Installation completed."
COPIED_ENTRY = b"Copied file: "

NATIVE_TARGET = 1.3  # install on a pseudo-terminal / cp -r of the same work, medians
NATIVE_FLOOR_TARGET = 1.1  # install on a pseudo-terminal / the floor, medians
WINE_FLOOR_TARGET = {"file": 1.1, "console": 1.2}  # setup.exe / the floor, medians

WINESERVER = "/usr/lib/wine/wineserver"
TIME = "/usr/bin/time"
CONSOLE_COLUMNS, CONSOLE_ROWS = 120, 40
ROBOCOPY_QUIET = ("/NFL", "/NDL", "/NJH", "/NJS", "/NP", "/R:0", "/W:0")


class BenchError(Exception):
    """A step failed: the benchmark stops with status 1."""


def log(text: str) -> None:
    print(f"[bench {time.strftime('%H:%M:%S')}] {text}", file=sys.stderr, flush=True)


# ---------------------------------------------------------------------------
# Settings


@dataclasses.dataclass(frozen=True)
class WineBuild:
    name: str
    loader: str
    description: str
    # The prefix's folder of Wine's own programs of the same width. The peers
    # are started from there by host path, as setup.exe is: started by bare
    # name, or from the other width's folder, Wine runs them through
    # start.exe in a second process.
    system_dir: str


WINE_BUILDS = {
    "win32": WineBuild("win32", "/usr/lib/wine/wine", "32-bit, the shipping exe", "syswow64"),
    "win64": WineBuild("win64", "/usr/lib/wine/wine64", "64-bit", "system32"),
}


@dataclasses.dataclass
class Settings:
    scratch_parent: Path
    files: int
    wine_files: int
    folders: int
    big_files: int
    big_mb: int
    repeat: int
    wine_repeat: int
    native: bool
    wine_builds: list[str]
    build: str
    setup_linux: Path
    setup_exe: dict[str, Path]
    baseline_exe: dict[str, Path]  # another build to time in the same rounds
    given: set[str]  # presets whose program was named on the command line
    timeout: float
    strict: bool
    keep: bool
    out: Path
    quick: bool


def positive(text: str) -> int:
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"{text} is not a positive number")
    return value


def not_negative(text: str) -> int:
    value = int(text)
    if value < 0:
        raise argparse.ArgumentTypeError(f"{text} is negative")
    return value


# The default sizes, and those of --quick.
SIZES = {"files": 10000, "wine_files": 2000, "folders": 100, "big_files": 3, "big_mb": 50,
         "repeat": 7, "wine_repeat": 5}
QUICK_SIZES = {"files": 200, "wine_files": 100, "folders": 12, "big_files": 1, "big_mb": 2,
               "repeat": 2, "wine_repeat": 1}


def parse_settings(argv: list[str]) -> Settings:
    parser = argparse.ArgumentParser(
        description="Times a default install of the setup program against cp -r natively "
        "and against Wine's xcopy and robocopy under Wine, checking every install.")
    parser.add_argument("--dir", type=Path, default=Path("/tmp"),
                        help="where the scratch folder goes; it must be on the disk the copies "
                        "should be measured on (default /tmp)")
    parser.add_argument("--files", type=not_negative,
                        help=f"small files in the native tree (default {SIZES['files']})")
    parser.add_argument("--wine-files", type=not_negative,
                        help=f"small files in the Wine tree (default {SIZES['wine_files']})")
    parser.add_argument("--folders", type=positive,
                        help=f"folders holding the small files (default {SIZES['folders']}, at least 4 are made)")
    parser.add_argument("--big-files", type=not_negative,
                        help=f"large files in each tree (default {SIZES['big_files']})")
    parser.add_argument("--big-mb", type=not_negative,
                        help=f"size of each large file in MB (default {SIZES['big_mb']})")
    parser.add_argument("--repeat", type=positive,
                        help=f"timed runs of each native case (default {SIZES['repeat']})")
    parser.add_argument("--wine-repeat", type=positive,
                        help=f"timed runs of each Wine case (default {SIZES['wine_repeat']})")
    parser.add_argument("--quick", action="store_true",
                        help="a smoke run: tiny trees (200 and 100 small files, one 2 MB file), "
                        "two runs of each case; sizes given explicitly still apply")
    parser.add_argument("--no-native", action="store_true", help="skip the native part")
    parser.add_argument("--wine", default="win32,win64",
                        help="Windows builds to measure under Wine, in order, comma-separated "
                        "(default win32,win64; 'none' skips Wine)")
    parser.add_argument("--build", choices=("missing", "always", "never"), default="missing",
                        help="build a preset when its program is missing (default), rebuild "
                        "every preset used first, or never build")
    parser.add_argument("--setup-linux", type=Path, help="measure this native program instead")
    parser.add_argument("--setup-win32", type=Path, help="measure this 32-bit setup.exe instead")
    parser.add_argument("--setup-win64", type=Path, help="measure this 64-bit setup.exe instead")
    parser.add_argument("--baseline-linux", type=Path,
                        help="also time this native program in the same rounds, paired per round")
    parser.add_argument("--baseline-win32", type=Path,
                        help="also time this 32-bit setup.exe in the same rounds, paired per round")
    parser.add_argument("--baseline-win64", type=Path,
                        help="also time this 64-bit setup.exe in the same rounds, paired per round")
    parser.add_argument("--timeout", type=float, default=1800,
                        help="longest wait for any single run, seconds (default 1800)")
    parser.add_argument("--strict", action="store_true",
                        help="exit 2 when a speed target is missed (judged on medians)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    parser.add_argument("--out", type=Path, default=REPO / "bench" / "results.txt",
                        help="results file (markdown; default bench/results.txt)")
    args = parser.parse_args(argv)

    sizes = QUICK_SIZES if args.quick else SIZES
    for name, value in sizes.items():
        if getattr(args, name) is None:
            setattr(args, name, value)

    builds = [] if args.wine.strip() == "none" else [b.strip() for b in args.wine.split(",") if b.strip()]
    for build in builds:
        if build not in WINE_BUILDS:
            parser.error(f"unknown Windows build {build!r} (win32 or win64)")
    if len(set(builds)) != len(builds):
        parser.error("a Windows build is named twice")
    if args.no_native and not builds:
        parser.error("nothing to measure: --no-native and no Windows build")

    return Settings(
        scratch_parent=args.dir.resolve(),
        files=args.files, wine_files=args.wine_files, folders=args.folders,
        big_files=args.big_files, big_mb=args.big_mb,
        repeat=args.repeat, wine_repeat=args.wine_repeat,
        native=not args.no_native, wine_builds=builds, build=args.build,
        setup_linux=(args.setup_linux or REPO / "build" / "linux" / "setup").resolve(),
        setup_exe={
            "win32": (args.setup_win32 or REPO / "build" / "win32" / "setup.exe").resolve(),
            "win64": (args.setup_win64 or REPO / "build" / "win64" / "setup.exe").resolve(),
        },
        baseline_exe={name: path.resolve() for name, path in (("linux", args.baseline_linux),
                                                              ("win32", args.baseline_win32),
                                                              ("win64", args.baseline_win64)) if path},
        given={preset for preset, path in (("linux", args.setup_linux), ("win32", args.setup_win32),
                                           ("win64", args.setup_win64)) if path},
        timeout=args.timeout, strict=args.strict, keep=args.keep,
        out=args.out.resolve(), quick=args.quick)


# ---------------------------------------------------------------------------
# Tools and builds


def check_tools(settings: Settings) -> None:
    """Fails with the package to install when a tool the run needs is missing."""
    missing = []
    if not os.access(TIME, os.X_OK):
        missing.append("time (GNU time at /usr/bin/time)")
    if not shutil.which("cp"):
        missing.append("coreutils")
    if settings.wine_builds:
        if not shutil.which("tmux"):
            missing.append("tmux")
        if not os.access(WINESERVER, os.X_OK):
            missing.append("wine (no /usr/lib/wine/wineserver)")
        for name in settings.wine_builds:
            loader = WINE_BUILDS[name].loader
            if not os.access(loader, os.X_OK):
                missing.append(f"wine for {name} (no loader {loader}; wine32:i386 for win32, wine64 for win64)")
            elif subprocess.run([loader, "--version"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL).returncode != 0:
                missing.append(f"a working {loader} (this machine cannot run it)")
    if missing:
        raise BenchError("missing tools: " + "; ".join(missing))


def build_preset(preset: str) -> None:
    log(f"building preset {preset}")
    for command in (["cmake", "--preset", preset],
                    ["cmake", "--build", "--preset", preset, "-j2", "--target", "setup"]):
        done = subprocess.run(command, cwd=REPO, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if done.returncode != 0:
            sys.stderr.write(done.stdout.decode(errors="replace")[-4000:])
            raise BenchError(f"build of preset {preset} failed: {' '.join(command)}")


def ensure_programs(settings: Settings) -> None:
    """Builds the presets the run measures, as --build asks."""
    wanted = []
    if settings.native:
        wanted.append(("linux", settings.setup_linux))
    wanted += [(name, settings.setup_exe[name]) for name in settings.wine_builds]
    for preset, program in wanted:
        wanted_build = settings.build == "always" or (settings.build == "missing" and not program.is_file())
        if wanted_build and preset not in settings.given:
            build_preset(preset)
        if not program.is_file():
            raise BenchError(f"no program at {program}")


# ---------------------------------------------------------------------------
# Trees and checks


def generate_tree(root: Path, small: int, folders: int, big: int, big_mb: int) -> None:
    """Writes small files of 1-4 KB round-robin into nested folders, the large
    files into lib, docs and data (contents random), com/startora.bat and the
    four install scripts."""
    rng = random.Random(20260101)
    tops = ["config", "install", "com", "data", "lib", "docs", "forms", "reports", "sql", "web"]
    names = tops[:max(4, min(len(tops), folders))]
    frontier = names[:]
    while len(names) < folders:
        following = []
        for parent in frontier:
            for k in range(3):
                if len(names) >= folders:
                    break
                child = f"{parent}/m{k:02d}"
                names.append(child)
                following.append(child)
        frontier = following
    for name in names:
        (root / name).mkdir(parents=True, exist_ok=True)
    extensions = [".sql", ".dat", ".txt", ".pks", ".pkb", ".csv"]
    for i in range(small):
        path = root / names[i % len(names)] / f"f{i:06d}{extensions[i % len(extensions)]}"
        path.write_bytes(os.urandom(rng.randint(1024, 4096)))
    # The shortcut's target and the scripts auto_install.sql runs: a
    # distribution without them is refused before the questions.
    (root / "com" / "startora.bat").write_bytes(b"@ECHO OFF\r\nREM Starts the application.\r\n")
    for script in ("install_schema", "seed_data", "compile_packages", "lock_schema"):
        (root / "install" / f"{script}.sql").write_bytes(f"PROMPT {script}\r\n".encode())
    homes = ["lib", "docs", "data"]
    for i in range(big):
        folder = homes[i % len(homes)] if homes[i % len(homes)] in names else names[0]
        with open(root / folder / f"large{i:02d}.bin", "wb") as f:
            for _ in range(big_mb):
                f.write(os.urandom(1 << 20))


# A file by its path relative to a tree's root (with "/"): size and SHA-1
# (None when only names and sizes were read).
Listing = dict[str, tuple[int, bytes | None]]


def list_files(root: Path, digests: bool) -> Listing:
    listing: Listing = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = Path(folder) / name
            rel = path.relative_to(root).as_posix()
            size = path.stat().st_size
            digest = None
            if digests:
                with open(path, "rb") as f:
                    digest = hashlib.file_digest(f, "sha1").digest()
            listing[rel] = (size, digest)
    return listing


def count_folders(root: Path) -> int:
    return sum(len(dirs) for _, dirs, _ in os.walk(root))


@dataclasses.dataclass
class Tree:
    root: Path
    files: Listing
    folders: int
    small: int

    @functools.cached_property
    def data(self) -> Listing:
        return {rel[len("data/"):]: entry for rel, entry in self.files.items() if rel.startswith("data/")}

    @property
    def bytes(self) -> int:
        return sum(size for size, _ in self.files.values())

    @property
    def data_bytes(self) -> int:
        return sum(size for size, _ in self.data.values())

    def describe(self) -> str:
        return (f"{len(self.files):,} files, {mib(self.bytes)} MiB, {self.folders} folders; "
                f"its data folder {len(self.data):,} files, {mib(self.data_bytes)} MiB")


def read_tree(root: Path, small: int) -> Tree:
    return Tree(root, list_files(root, digests=True), count_folders(root), small)


def compare_listing(label: str, expected: Listing, actual: Listing) -> None:
    """Fails naming the first differences when the two differ in names,
    sizes or (where both carry one) digests."""
    problems = []
    missing = sorted(set(expected) - set(actual))
    extra = sorted(set(actual) - set(expected))
    if missing:
        problems.append(f"{len(missing)} missing ({', '.join(missing[:3])})")
    if extra:
        problems.append(f"{len(extra)} not in the source ({', '.join(extra[:3])})")
    sizes = sorted(rel for rel in set(expected) & set(actual) if expected[rel][0] != actual[rel][0])
    if sizes:
        problems.append(f"{len(sizes)} of another size ({', '.join(sizes[:3])})")
    contents = sorted(rel for rel in set(expected) & set(actual)
                      if expected[rel][0] == actual[rel][0] and None not in (expected[rel][1], actual[rel][1])
                      and expected[rel][1] != actual[rel][1])
    if contents:
        problems.append(f"{len(contents)} with other contents ({', '.join(contents[:3])})")
    if problems:
        raise BenchError(f"{label}: {len(actual)} files, expected {len(expected)}: " + "; ".join(problems))


def remove_copy(dest: Path) -> None:
    """Removes a checked copy, so that the scratch folder holds one at a time
    (a tmpfs would fill up otherwise); the sync before the next timed run
    keeps the removal out of its time."""
    shutil.rmtree(dest)


def check_peer_copy(label: str, tree: Tree, dest: Path) -> None:
    if not dest.is_dir():
        raise BenchError(f"{label}: nothing copied to {dest}")
    compare_listing(label, {rel: (size, None) for rel, (size, _) in tree.files.items()},
                    list_files(dest, digests=False))


def check_install(label: str, tree: Tree, drive: Path, work: Path, output: bytes, desktop: Path) -> None:
    """Checks what a default install left on the drive, in its working
    folder and in its output (screen or file)."""
    app = drive / APP_HOME
    data = app / "data"
    for folder, name in ((app, "APP_HOME"), (data, "DATA_HOME")):
        if not folder.is_dir():
            raise BenchError(f"{label}: {name} {folder} missing")
    app_files = list_files(app, digests=True)
    for script in GENERATED_SCRIPTS:
        entry = app_files.pop(script, None)
        if entry is None:
            raise BenchError(f"{label}: generated {script} missing in APP_HOME")
        if entry[0] == 0:
            raise BenchError(f"{label}: generated {script} is empty")
    compare_listing(f"{label}: APP_HOME", tree.files, app_files)
    compare_listing(f"{label}: DATA_HOME", tree.data, list_files(data, digests=True))

    install_log = work / "install.log"
    if not install_log.is_file():
        raise BenchError(f"{label}: no install.log in {work}")
    entries = install_log.read_bytes().splitlines()
    copied = sum(1 for line in entries if line.startswith(COPIED_ENTRY))
    if copied != len(tree.files) + len(tree.data):
        raise BenchError(f"{label}: install.log names {copied} copied files, expected "
                         f"{len(tree.files) + len(tree.data)} ({len(tree.files)} + {len(tree.data)})")
    if COMPLETED_ENTRY not in (line.strip() for line in entries):
        raise BenchError(f"{label}: install.log does not end the run with '{COMPLETED_ENTRY.decode()}'")
    if COMPLETE_TEXT not in output:
        raise BenchError(f"{label}: the output lacks '{COMPLETE_TEXT.decode()}'")
    if not (desktop / SHORTCUT).is_file():
        raise BenchError(f"{label}: no shortcut {SHORTCUT} in {desktop}")


def tail(data: bytes, lines: int = 15) -> str:
    return "\n".join(data.decode(errors="replace").rstrip().splitlines()[-lines:])


# ---------------------------------------------------------------------------
# Figures


@dataclasses.dataclass
class Run:
    seconds: float
    cpu: float | None = None  # user + system seconds of the timed process(es)
    rss_kb: int | None = None  # peak resident memory


@dataclasses.dataclass
class Series:
    label: str
    runs: list[Run] = dataclasses.field(default_factory=list)

    @property
    def median(self) -> float:
        return statistics.median(r.seconds for r in self.runs)

    @property
    def best(self) -> float:
        return min(r.seconds for r in self.runs)

    @property
    def cpu(self) -> float | None:
        values = [r.cpu for r in self.runs if r.cpu is not None]
        return statistics.median(values) if values else None

    @property
    def rss_kb(self) -> int | None:
        values = [r.rss_kb for r in self.runs if r.rss_kb is not None]
        return max(values) if values else None

    def all_runs(self) -> str:
        return " ".join(f"{r.seconds:.3f}" for r in self.runs)


def ratio(a: float | None, b: float | None) -> str:
    if a is None or b is None or b <= 0:
        return "n/a"
    return f"{a / b:.2f}×"


def mib(size: int) -> str:
    return f"{size / 1048576:.1f}"


def seconds(value: float | None) -> str:
    return "n/a" if value is None else f"{value:.2f}"


# ---------------------------------------------------------------------------
# Running timed processes natively


def with_usage(argv: list[str], usage_file: Path) -> list[str]:
    """The command run under GNU time, which writes its peak resident memory
    in KB and its user and system seconds into the file. (The peak that
    wait4 gives would include what the child held before exec, and a child
    of this Python holds that much.)"""
    return [TIME, "-f", "%M %U %S", "-o", str(usage_file)] + argv


def read_usage(usage_file: Path) -> tuple[int | None, float | None]:
    """Peak RSS and CPU seconds as GNU time wrote them (on the last line,
    after a note when the command failed)."""
    lines = usage_file.read_text().splitlines() if usage_file.exists() else []
    fields = lines[-1].split() if lines else []
    try:
        return int(fields[0]), float(fields[1]) + float(fields[2])
    except (IndexError, ValueError):
        return None, None


def wait_measured(process: subprocess.Popen, timeout: float, label: str) -> tuple[int, Run, float]:
    """Waits for the process, killing it after the timeout; gives its exit
    status, the CPU time of it and its children, and the time it ended."""
    expired = threading.Event()

    def expire() -> None:
        expired.set()
        process.kill()

    timer = threading.Timer(timeout, expire)
    timer.start()
    try:
        _, status, usage = os.wait4(process.pid, 0)
    finally:
        timer.cancel()
    ended = time.perf_counter()
    process.returncode = os.waitstatus_to_exitcode(status)
    if expired.is_set():
        raise BenchError(f"{label} did not end within {timeout:.0f} s")
    return process.returncode, Run(0.0, usage.ru_utime + usage.ru_stime), ended


def run_to_file(argv: list[str], stdin: Path | None, out: Path, timeout: float, label: str,
                cwd: Path | None = None, env: dict[str, str] | None = None) -> tuple[int, Run]:
    with open(stdin or os.devnull, "rb") as source, open(out, "wb") as sink:
        started = time.perf_counter()
        process = subprocess.Popen(argv, stdin=source, stdout=sink, stderr=subprocess.STDOUT, cwd=cwd, env=env)
        status, run, ended = wait_measured(process, timeout, label)
    run.seconds = ended - started
    return status, run


def run_on_pty(argv: list[str], stdin: Path, out: Path, timeout: float, label: str,
               cwd: Path, env: dict[str, str]) -> tuple[int, Run]:
    """Runs with standard input from a file and standard output and error on
    a fresh pseudo-terminal of 120 x 40, whose output lands in a file."""
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", CONSOLE_ROWS, CONSOLE_COLUMNS, 0, 0))
    with open(stdin, "rb") as source, open(out, "wb") as sink:
        def drain() -> None:
            while True:
                try:
                    chunk = os.read(master, 1 << 16)
                except OSError:  # EIO once the last writer is gone
                    return
                if not chunk:
                    return
                sink.write(chunk)

        reader = threading.Thread(target=drain)
        reader.start()
        try:
            started = time.perf_counter()
            process = subprocess.Popen(argv, stdin=source, stdout=slave, stderr=slave, cwd=cwd, env=env,
                                       start_new_session=True)
            os.close(slave)
            slave = -1
            status, run, ended = wait_measured(process, timeout, label)
        finally:
            if slave >= 0:
                os.close(slave)
            reader.join(timeout=60)
            os.close(master)
    run.seconds = ended - started
    return status, run


# ---------------------------------------------------------------------------
# Native part


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


# ---------------------------------------------------------------------------
# Wine part


def wine_path(path: Path) -> str:
    """A host path as Wine names it through Z:."""
    return "Z:" + str(path).replace("/", "\\")


class WineConsole:
    """A private Wine prefix with its server kept up, and tmux consoles to run
    commands in; each command runs in a fresh console and is timed there."""

    def __init__(self, build: WineBuild, base: Path, timeout: float) -> None:
        self.build = build
        self.base = base
        self.prefix = base / "prefix"
        self.drive_c = self.prefix / "drive_c"
        self.socket = base / "tmux.sock"
        self.timeout = timeout
        self.runs = 0
        (base / "bin").mkdir(parents=True)
        (base / "home").mkdir()
        (base / "runs").mkdir()
        # The program runs sqlplus through cmd: a stand-in that succeeds.
        (base / "bin" / "sqlplus.bat").write_bytes(b"@exit /b 0\r\n")
        self.env = {
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "WINEPATH": wine_path(base / "bin"),
            "HOME": str(base / "home"),
        }

    def environment(self) -> dict[str, str]:
        return dict(os.environ, **self.env)

    def create(self) -> None:
        log(f"{self.build.name}: creating the Wine prefix")
        env = self.environment()
        for command in ([self.build.loader, "wineboot", "--init"], [WINESERVER, "-w"]):
            done = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, timeout=300)
            if done.returncode != 0:
                raise BenchError(f"{self.build.name}: creating the Wine prefix failed: {' '.join(command)}")
        if not self.drive_c.is_dir():
            raise BenchError(f"{self.build.name}: the Wine prefix has no drive_c")
        # The desktop would be a link to the home folder; keep the shortcut in here.
        for user_dir in (self.drive_c / "users").iterdir():
            desktop = user_dir / "Desktop"
            if user_dir.name != "Public" and desktop.is_symlink():
                desktop.unlink()
                desktop.mkdir()
        # A server that stays up, so no run pays for its start.
        subprocess.run([WINESERVER, "-p"], env=env, check=True)
        # A session that keeps the tmux server up between runs: a server
        # whose last session has just ended would refuse the next one.
        subprocess.run(self.tmux() + ["new-session", "-d", "-s", "keep", "sleep 1000000"], check=True)

    def tmux(self) -> list[str]:
        return ["tmux", "-S", str(self.socket), "-f", "/dev/null"]

    def program(self, name: str) -> str:
        """Host path of one of Wine's programs of the build's width."""
        path = self.drive_c / "windows" / self.build.system_dir / name
        if not path.is_file():
            raise BenchError(f"{self.build.name}: no {path} in the Wine prefix")
        return str(path)

    @property
    def desktop(self) -> Path:
        return self.drive_c / "users" / getpass.getuser() / "Desktop"

    def run(self, argv: list[str], work: Path, stdin: Path | None, output: Path | None) -> tuple[int, Run, bytes]:
        """Runs the command in a fresh console, in the working folder, output
        to the console or (given a file) redirected there. Gives its exit
        status, its time as measured in the console, the CPU time and peak
        RSS of its Windows process (not the Wine server's), and the
        console's text."""
        self.runs += 1
        n = self.runs
        work.mkdir(parents=True, exist_ok=True)
        runs = self.base / "runs"
        marker, usage = runs / f"done-{n}", runs / f"usage-{n}"
        q = shlex.quote
        redirect = f" > {q(str(output))} 2>&1" if output else ""
        command = " ".join(q(a) for a in with_usage(argv, usage))
        script = "\n".join([
            "#!/bin/sh",
            "export " + " ".join(f"{k}={q(v)}" for k, v in self.env.items()),
            f"cd {q(str(work))} || {{ echo 1 0 0 > {q(str(marker))}; exec sleep 3600; }}",
            "s=$(date +%s.%N)",
            f"{command} < {q(str(stdin) if stdin else os.devnull)}{redirect}",
            "status=$?",
            "e=$(date +%s.%N)",
            f'echo "$status $s $e" > {q(str(marker))}.tmp && mv {q(str(marker))}.tmp {q(str(marker))}',
            "exec sleep 3600",
            ""])
        runner = runs / f"run-{n}.sh"
        runner.write_text(script)
        session = f"bench{n}"
        tmux = self.tmux()
        subprocess.run(tmux + ["new-session", "-d", "-s", session, "-x", str(CONSOLE_COLUMNS),
                               "-y", str(CONSOLE_ROWS), f"sh {q(str(runner))}"], check=True)
        deadline = time.monotonic() + self.timeout
        while not marker.exists():
            if time.monotonic() > deadline:
                screen = subprocess.run(tmux + ["capture-pane", "-p", "-t", session], stdout=subprocess.PIPE)
                sys.stderr.write(screen.stdout.decode(errors="replace"))
                raise BenchError(f"{self.build.name}: run {n} did not end within {self.timeout:.0f} s: "
                                 + " ".join(argv))
            time.sleep(0.05)
        screen = subprocess.run(tmux + ["capture-pane", "-p", "-J", "-S", "-100000", "-t", session],
                                stdout=subprocess.PIPE).stdout
        subprocess.run(tmux + ["kill-session", "-t", session], stderr=subprocess.DEVNULL)
        (runs / f"screen-{n}").write_bytes(screen)
        status_text, start, end = marker.read_text().split()
        rss_kb, cpu = read_usage(usage)
        return int(status_text), Run(float(end) - float(start), cpu, rss_kb), screen

    def stop(self) -> None:
        if self.socket.exists():
            subprocess.run(self.tmux() + ["kill-server"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.prefix.exists():  # wineboot may have left a server behind too
            env = self.environment()
            subprocess.run([WINESERVER, "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                subprocess.run([WINESERVER, "-w"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=60)
            except subprocess.TimeoutExpired:
                log(f"{self.build.name}: the Wine server did not stop within 60 s")


@dataclasses.dataclass
class WineResult:
    build: WineBuild
    program: Path
    version: str
    tree: Tree
    series: dict[str, Series]
    robocopy_problem: str | None  # why robocopy was not measured, when it was not


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


def run_wine(settings: Settings, scratch: Path, build: WineBuild, tree_root: Path,
             consoles: list[WineConsole]) -> WineResult:
    base = scratch / f"wine-{build.name}"
    console = WineConsole(build, base, settings.timeout)
    consoles.append(console)
    program = settings.setup_exe[build.name]
    version = subprocess.run([build.loader, "--version"], stdout=subprocess.PIPE, text=True).stdout.strip()
    shutil.copy2(program, tree_root / "setup.exe")
    baseline = settings.baseline_exe.get(build.name)
    if baseline:
        shutil.copy2(baseline, tree_root / "baseline-setup.exe")
    floor_exe = settings.setup_exe[build.name].parent / "bench" / "floor.exe"
    if not floor_exe.is_file():
        raise BenchError(f"{floor_exe} is missing; build the tree of {settings.setup_exe[build.name]}")
    tree = read_tree(tree_root, settings.wine_files)
    answers = base / "answers"
    console.create()
    answers.write_bytes(ANSWERS)
    out = base / "out"
    out.mkdir()

    log(f"{build.name}: warm-up")
    warm = [build.loader, console.program("xcopy.exe"), "/E", "/I", "/Y", wine_path(tree_root / "config"), "C:\\warm"]
    status, _, _ = console.run(warm, base / "work-warm", None, base / "warm.txt")
    if status != 0:
        raise BenchError(f"{build.name}: warm-up xcopy ended with status {status}")
    robocopy_problem = probe_robocopy(console, base)
    if robocopy_problem:
        log(f"{build.name}: NOTE {robocopy_problem}; no robocopy figures")

    series = {key: Series(label) for key, label in WINE_CASES}

    def peer(tool: str, mode: str, run_name: str) -> Run:
        name = f"{tool}-{mode}-{run_name}"
        source, dest = wine_path(tree_root), f"C:\\{name}"
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

    def floor(mode: str, run_name: str) -> Run:
        # The same work as an install's copy: the tree into APP_HOME, then its
        # data folder into DATA_HOME; one log line per copied file.
        name = f"floor-{mode}-{run_name}"
        work = out / f"work-{name}"
        app = f"C:\\{name}"
        argv = [build.loader, str(floor_exe), wine_path(tree_root), app,
                wine_path(tree_root / "data"), app + "\\data"]
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

    def install(mode: str, run_name: str, exe: str = "setup.exe") -> Run:
        who = exe.replace(".exe", "")
        work = out / f"work-{who}-{mode}-{run_name}"
        output = out / f"stdout-{who}-{mode}-{run_name}"
        label = f"{build.name}: {exe} ({mode}) run {run_name}"
        os.sync()
        status, run, screen = console.run([build.loader, str(tree_root / exe)], work, answers,
                                          output if mode == "file" else None)
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
            if what == "setup":
                run = install(mode, str(i))
            elif what == "baseline":
                run = install(mode, str(i), "baseline-setup.exe")
            elif what == "floor":
                run = floor(mode, str(i))
            else:
                run = peer(what, mode, str(i))
            series[key].runs.append(run)
            log(f"{build.name} run {i}/{settings.wine_repeat}: {series[key].label}: {run.seconds:.3f} s"
                + (f" (cpu {run.cpu:.2f} s, peak {run.rss_kb} KB)" if run.rss_kb else ""))
    console.stop()
    return WineResult(build, program, version, tree, series, robocopy_problem)


# ---------------------------------------------------------------------------
# Report


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


# ---------------------------------------------------------------------------


def estimate_space(settings: Settings) -> int:
    """Bytes the run takes at most, roughly (4 KB blocks): each tree and the
    one checked copy at a time that is kept (an install copies the data folder
    twice), the Wine prefixes."""
    def tree_size(small: int) -> int:
        return small * 4096 + settings.big_files * settings.big_mb * 1048576 + 4 * 1048576

    native = 3 * tree_size(settings.files) if settings.native else 0
    per_build = 3 * tree_size(settings.wine_files) + 800 * 1048576
    return native + len(settings.wine_builds) * per_build


def load_average() -> str:
    return " ".join(Path("/proc/loadavg").read_text().split()[:3])


def main(argv: list[str]) -> int:
    settings = parse_settings(argv)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    scratch: Path | None = None
    consoles: list[WineConsole] = []
    try:
        check_tools(settings)
        ensure_programs(settings)
        settings.scratch_parent.mkdir(parents=True, exist_ok=True)
        need, free = estimate_space(settings), shutil.disk_usage(settings.scratch_parent).free
        if need > free * 0.9:
            raise BenchError(f"the run needs about {need / 2**30:.1f} GiB in {settings.scratch_parent}, "
                             f"{free / 2**30:.1f} GiB are free")
        scratch = Path(tempfile.mkdtemp(prefix="setup-bench.", dir=settings.scratch_parent))
        log(f"scratch folder {scratch} (about {need / 2**30:.1f} GiB by the end)")
        started = datetime.datetime.now(datetime.timezone.utc)
        load_start = load_average()
        native = run_native(settings, scratch) if settings.native else None
        wine = []
        if settings.wine_builds:
            tree_root = scratch / "wine-tree"
            log(f"Wine tree: {settings.wine_files} small files in {settings.folders} folders, "
                f"{settings.big_files} x {settings.big_mb} MB")
            generate_tree(tree_root, settings.wine_files, settings.folders, settings.big_files, settings.big_mb)
            for name in settings.wine_builds:
                wine.append(run_wine(settings, scratch, WINE_BUILDS[name], tree_root, consoles))
        text, missed = report(settings, native, wine, (load_start, load_average()), started)
        sys.stdout.write("\n" + text)
        settings.out.parent.mkdir(parents=True, exist_ok=True)
        settings.out.write_text(text)
        log(f"results written to {settings.out}")
        return 2 if missed and settings.strict else 0
    except BenchError as error:
        log(f"FAILED: {error}")
        return 1
    except (OSError, subprocess.SubprocessError) as error:
        log(f"FAILED: {error}")
        return 1
    except KeyboardInterrupt:
        log("interrupted")
        return 130
    finally:
        for console in consoles:
            console.stop()
        if scratch and scratch.exists():
            if settings.keep:
                log(f"scratch kept in {scratch}")
            else:
                log(f"removing {scratch}")
                if subprocess.run(["rm", "-rf", "--one-file-system", str(scratch)]).returncode != 0:
                    log(f"could not remove all of {scratch}")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
