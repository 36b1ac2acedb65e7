"""A private Wine prefix whose server stays up, and commands timed in fresh
tmux consoles on it."""

from __future__ import annotations

import getpass
import os
import shlex
import subprocess
import sys
import time
from pathlib import Path

from settings import CONSOLE_COLUMNS, CONSOLE_ROWS, WINESERVER, BenchError, WineBuild, log
from timing import Run, read_usage, with_usage


def wine_path(path: Path) -> str:
    """A host path as Wine names it through Z:."""
    return "Z:" + str(path).replace("/", "\\")


class WineConsole:
    """A private Wine prefix with its server kept up, and tmux consoles to run
    commands in; each command runs in a fresh console and is timed there."""

    def __init__(self, build: WineBuild, base: Path, timeout: float, template: Path | None = None) -> None:
        self.build = build
        self.template = template
        self.base = base
        self.prefix = base / "prefix"
        self.drive_c = self.prefix / "drive_c"
        self.socket = base / "tmux.sock"
        self.timeout = timeout
        self.runs = 0
        self.last_span = (0.0, 0.0)
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
        env = self.environment()
        if self.template and (self.template / ".complete").is_file():
            # The test run's prefix, made once: a new one takes minutes where
            # 32-bit code is emulated. Its links to the maker's home point here.
            log(f"{self.build.name}: copying the Wine prefix {self.template}")
            subprocess.run(["cp", "-a", str(self.template), str(self.prefix)], check=True)
            (self.prefix / ".complete").unlink()
            for link in (self.drive_c / "users").glob("*/*"):
                if link.is_symlink() and os.readlink(link) == f"{self.template}.home":
                    link.unlink()
                    link.symlink_to(self.base / "home")
        else:
            log(f"{self.build.name}: creating the Wine prefix")
            for command in ([self.build.loader, "wineboot", "--init"], [WINESERVER, "-w"]):
                done = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL, timeout=900)
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
        self.last_span = (float(start), float(end))  # wall clock (time.time()) of the last run
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
