"""The wall clock of each stage of an install, read from outside the program:
a watcher notes when each entry reaches install.log (the program opens,
appends and closes the log for every entry, so each close is one entry),
and the stages lie between the entries that open and close them."""

from __future__ import annotations

import ctypes
import ctypes.util
import dataclasses
import os
import select
import struct
import threading
import time
from pathlib import Path

from settings import COPIED_ENTRY, BenchError

IN_CLOSE_WRITE = 0x00000008
IN_NONBLOCK = 0o4000
IN_CLOEXEC = 0o2000000


class LogWatcher:
    """Notes the wall-clock time (time.time(), as the shell's date gives it)
    at which each line of the folder's install.log was closed after its
    append. Start it before the program, stop it after."""

    def __init__(self, folder: Path) -> None:
        self.folder = folder
        self.entries: list[tuple[float, bytes]] = []
        libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self.fd = libc.inotify_init1(IN_NONBLOCK | IN_CLOEXEC)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, str(folder).encode(), IN_CLOSE_WRITE) < 0:
            raise BenchError(f"cannot watch {folder} (inotify: errno {ctypes.get_errno()})")
        self.offset = 0
        self.partial = b""
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.watch)

    def __enter__(self) -> "LogWatcher":
        self.thread.start()
        return self

    def __exit__(self, *_: object) -> None:
        self.stopping.set()
        self.thread.join()
        os.close(self.fd)
        self.read_new(time.time())

    def read_new(self, now: float) -> None:
        path = self.folder / "install.log"
        try:
            with open(path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
        except FileNotFoundError:
            return
        self.offset += len(data)
        lines = (self.partial + data).split(b"\r\n")
        self.partial = lines.pop()
        self.entries += [(now, line) for line in lines]

    def watch(self) -> None:
        while not self.stopping.is_set():
            ready, _, _ = select.select([self.fd], [], [], 0.05)
            if not ready:
                continue
            now = time.time()
            try:
                events = os.read(self.fd, 65536)
            except BlockingIOError:
                continue
            offset, named = 0, False
            while offset < len(events):
                _, _, _, length = struct.unpack_from("iIII", events, offset)
                name = events[offset + 16:offset + 16 + length].rstrip(b"\0")
                named |= name == b"install.log"
                offset += 16 + length
            if named:
                self.read_new(now)


@dataclasses.dataclass
class Stage:
    name: str
    seconds: float


def stages(entries: list[tuple[float, bytes]], started: float, ended: float) -> list[Stage]:
    """The spans between the entries that mark the stages: from the start to
    the first entry, each run of "Copied file" entries as one copy, and the
    gap before every other entry named by that entry (entries within 2 ms of
    the last stage's end join the next); the end after the last."""
    result: list[Stage] = []
    last = started
    copying: list[float] = []

    def close_copy() -> None:
        nonlocal last
        if copying:
            result.append(Stage(f"copy of {len(copying):,} files (first to last \"Copied file\" entry)",
                                copying[-1] - last))
            last = copying[-1]
            copying.clear()

    for at, line in entries:
        if line.startswith(COPIED_ENTRY):
            if not copying:
                result.append(Stage("until the first \"Copied file\" entry", at - last))
                last = at
            copying.append(at)
            continue
        close_copy()
        text = line.decode(errors="replace").strip()
        if not text or at - last < 0.002:
            continue  # entries written together (the parameters, the summary) go with the next
        result.append(Stage(f"until \"{text[:60]}\"", at - last))
        last = at
    close_copy()
    result.append(Stage("to the end of the process (the RETURN, the exit)", ended - last))
    return result
