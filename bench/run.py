#!/usr/bin/env python3
"""Copy-speed benchmark of the setup program.

Builds two source trees that differ only in their number of small files (in
the same nested folders, with the same few large ones and the folders config,
install, com and data the program needs), then times a whole default install
of each on the same disk, in the same interleaved rounds:

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
paste into the README: from the two sizes, each build's cost per copied file
and its fixed cost against the floor's (bench/floor.cpp), and the time of
each stage of one more install, read from outside as its log's entries land.

Each checked copy is removed before the next run, so the scratch folder
holds one at a time. On an ext4 without a journal creating files within a
minute of a large delete costs several times more; use --dir /dev/shm for
figures that leave the disk out.

The modules: settings (options, tools, builds), trees (making and listing
trees), verify (checking a copy or an install), timing (timed native runs,
series, slopes), native (the native part), wine_console and wine_runs (the
Wine part), stages (the stage times), report (the markdown).

Exit status: 0 when every step succeeded, 1 when a step failed (a wrong copy,
a non-zero exit status, a run that did not end in time, a missing tool or
program), 2 when --strict is given and a speed target was missed.
"""

from __future__ import annotations

import datetime
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree

from native import run_native  # noqa: E402
from report import report  # noqa: E402
from settings import WINE_BUILDS, BenchError, Settings, check_tools, ensure_programs, log, parse_settings  # noqa: E402
from trees import generate_tree  # noqa: E402
from wine_console import WineConsole  # noqa: E402
from wine_runs import run_wine  # noqa: E402


def estimate_space(settings: Settings) -> int:
    """Bytes the run takes at most, roughly (4 KB blocks): each tree and the
    one checked copy at a time that is kept (an install copies the data folder
    twice), the Wine prefixes."""
    def tree_size(small: int) -> int:
        return small * 4096 + settings.big_files * settings.big_mb * 1048576 + 4 * 1048576

    native = 3 * tree_size(settings.files) + tree_size(settings.files_small) if settings.native else 0
    per_build = 3 * tree_size(settings.wine_files) + tree_size(settings.wine_files_small) + 800 * 1048576
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
            tree_roots = {"small": scratch / "wine-tree-small", "large": scratch / "wine-tree-large"}
            for size, small in (("small", settings.wine_files_small), ("large", settings.wine_files)):
                log(f"Wine tree ({size}): {small} small files in {settings.folders} folders, "
                    f"{settings.big_files} x {settings.big_mb} MB")
                generate_tree(tree_roots[size], small, settings.folders, settings.big_files, settings.big_mb)
            for name in settings.wine_builds:
                wine.append(run_wine(settings, scratch, WINE_BUILDS[name], tree_roots, consoles))
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
