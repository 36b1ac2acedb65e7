"""The source trees the benchmark copies, and listings of copies by name,
size and SHA-1."""

from __future__ import annotations

import dataclasses
import functools
import hashlib
import os
import random
from pathlib import Path


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


def mib(size: int) -> str:
    return f"{size / 1048576:.1f}"
