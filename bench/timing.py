"""Timed runs of processes natively (output to a file or on a pseudo-terminal),
and the figures of a series of runs."""

from __future__ import annotations

import dataclasses
import fcntl
import os
import statistics
import struct
import subprocess
import termios
import threading
import time
from pathlib import Path

from settings import CONSOLE_COLUMNS, CONSOLE_ROWS, TIME, BenchError


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


def seconds(value: float | None) -> str:
    return "n/a" if value is None else f"{value:.2f}"


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


@dataclasses.dataclass
class Slope:
    per_file: float  # seconds per copied file: the difference of the medians over that of the files copied
    fixed: float  # seconds that do not grow with the files: the smaller tree's median less its files' share


def slope(small: Series, large: Series, copied_small: int, copied_large: int, best: bool = False) -> Slope | None:
    """The cost per file and per run of a case timed on both tree sizes, from
    the medians or (best) from the best runs, which other load disturbed least."""
    if not small.runs or not large.runs or copied_large <= copied_small:
        return None
    low, high = (small.best, large.best) if best else (small.median, large.median)
    per_file = (high - low) / (copied_large - copied_small)
    return Slope(per_file, low - per_file * copied_small)
