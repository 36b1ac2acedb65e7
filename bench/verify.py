"""Checks of what a copy or an install left behind."""

from __future__ import annotations

import shutil
from pathlib import Path

from settings import APP_HOME, COMPLETE_TEXT, COMPLETED_ENTRY, COPIED_ENTRY, GENERATED_SCRIPTS, SHORTCUT, BenchError
from trees import Listing, Tree, list_files


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
