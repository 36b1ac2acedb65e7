"""The benchmark's settings: what the default install produces, the sizes and
options of a run, the tools it needs and the builds it measures."""

from __future__ import annotations

import argparse
import dataclasses
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path


REPO = Path(__file__).resolve().parent.parent

# What the default answers produce, relative to the drive's root.
APP_HOME = Path("XEPDB1") / "QUARNDEL"
SHORTCUT = "QUARNDEL.lnk"
GENERATED_SCRIPTS = ("config/set_env.sql", "config/set_env.bat", "install/auto_install.sql")
# A default install's answer at each prompt (tests/prompts.txt: the field
# after the first tab, empty for Enter), then the RETURN after the summary.
ANSWERS = b"".join((line.split(b"\t") + [b""])[1] + b"\n"
                   for line in (REPO / "tests" / "prompts.txt").read_bytes().splitlines()
                   if not line.startswith(b"#")) + b"\n"
COMPLETE_TEXT = b"Installation complete. Press RETURN to exit."
COMPLETED_ENTRY = b"Installation completed."
COPIED_ENTRY = b"Copied file: "

NATIVE_TARGET = 1.3  # install on a pseudo-terminal / cp -r of the same work, medians
NATIVE_FLOOR_TARGET = 1.1  # install on a pseudo-terminal / the floor, medians
# setup.exe's cost per copied file / the floor's, redirected and in a console
WINE_PER_FILE_TARGET = {"file": 1.05, "console": 1.15}
WINE_FIXED_TARGET = 0.3  # seconds per run setup.exe may spend beyond the floor's, redirected
WINE_PAIRED_TARGET = 0.90  # setup.exe / the baseline build, paired per round, redirected, larger tree
NATIVE_PAIRED_TARGET = 1.05  # install / the baseline build, paired per round, pseudo-terminal, larger tree

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
    files: int  # small files in the larger native tree
    files_small: int  # and in the smaller one, in the same folders
    wine_files: int
    wine_files_small: int
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
    wine_prefix_template: Path | None = None
    # Builds named but not measured on this machine, and why.
    not_measured: dict[str, str] = dataclasses.field(default_factory=dict)


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
SIZES = {"files": 10000, "files_small": 1250, "wine_files": 3200, "wine_files_small": 400, "folders": 100, "big_files": 3, "big_mb": 50,
         "repeat": 7, "wine_repeat": 5}
QUICK_SIZES = {"files": 200, "files_small": 50, "wine_files": 100, "wine_files_small": 25, "folders": 12, "big_files": 1, "big_mb": 2,
               "repeat": 2, "wine_repeat": 1}


def parse_settings(argv: list[str]) -> Settings:
    parser = argparse.ArgumentParser(
        description="Times a default install of the setup program against cp -r natively "
        "and against Wine's xcopy and robocopy under Wine, checking every install.")
    parser.add_argument("--dir", type=Path, default=Path("/tmp"),
                        help="where the scratch folder goes; it must be on the disk the copies "
                        "should be measured on (default /tmp)")
    parser.add_argument("--files", type=not_negative,
                        help=f"small files in the larger native tree (default {SIZES['files']})")
    parser.add_argument("--files-small", type=not_negative,
                        help="small files in the smaller native tree, in the same folders; every case runs on "
                        f"both, giving the cost per file and per run (default {SIZES['files_small']})")
    parser.add_argument("--wine-files", type=not_negative,
                        help=f"small files in the larger Wine tree (default {SIZES['wine_files']})")
    parser.add_argument("--wine-files-small", type=not_negative,
                        help=f"small files in the smaller Wine tree (default {SIZES['wine_files_small']})")
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
                        help="a smoke run: tiny trees (200 and 50 small files natively, 100 and 25 under Wine, one 2 MB file), "
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
    parser.add_argument("--wine-prefix-template", type=Path,
                        help="copy this Wine prefix (the tests' build/ci/wine-prefix) instead of making one")
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
    if args.files_small >= args.files or args.wine_files_small >= args.wine_files:
        parser.error("the smaller tree must hold fewer small files than the larger one")
    not_measured = {}
    if "win32" in builds:
        how = win32_mode()
        if how != "native":
            builds.remove("win32")
            not_measured["win32"] = ("32-bit code is emulated on this machine, so its timings would say nothing "
                                     "of the exe's speed" if how == "emulated" else how)
            log(f"win32 not measured: {not_measured['win32']}")
    if args.no_native and not builds and not not_measured:
        parser.error("nothing to measure: --no-native and no Windows build")

    return Settings(
        scratch_parent=args.dir.resolve(),
        files=args.files, files_small=args.files_small, wine_files=args.wine_files,
        wine_files_small=args.wine_files_small, folders=args.folders,
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
        out=args.out.resolve(), quick=args.quick, not_measured=not_measured,
        wine_prefix_template=args.wine_prefix_template.resolve() if args.wine_prefix_template else None)


def win32_mode() -> str:
    """How this machine runs 32-bit programs: "native", "emulated" or "none: why"."""
    done = subprocess.run(["bash", str(REPO / "tools" / "run-32bit.sh"), "mode"], stdout=subprocess.PIPE, text=True)
    return done.stdout.strip() or "none: tools/run-32bit.sh said nothing"


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
