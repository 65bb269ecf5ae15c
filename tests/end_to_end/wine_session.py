"""Wine on a virtual display: a fresh prefix and an Xvfb server of their own, for running
quenwick.exe and answering its boxes. Shared by the Wine end-to-end tests and the screenshots. On
Windows itself the same session runs the programs directly, on the real desktop and drive C:.

Wine's background processes inherit the standard streams of whichever Windows program started
them and outlive it, so no output is read through a pipe: a read to the end would wait for them."""

import fcntl
import getpass
import hashlib
import json
import os
import re
import shutil
import subprocess
import tempfile
from pathlib import Path

ON_WINDOWS = os.name == "nt"
WINE = shutil.which("wine") or "/usr/lib/wine/wine64"
COMMAND_NOT_RUN = b"9009"  # cmd's code for a command that it could not run


# What a fresh prefix is made with: a new one is made only when this, the locale or Wine changes.
PREFIX_RECIPE = [("Explorer", "Desktop", "Default"), ("Explorer\\Desktops", "Default", "1024x768")]
# The files of a prefix that no test writes, and that Wine only reads: the programs and libraries
# that wineboot puts in its Windows folder, some 600 MB. A fresh prefix links to the template's.
READ_ONLY_SUFFIXES = {".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".ax", ".tlb",
                      ".ds", ".com", ".vxd", ".msstyles", ".mui"}


def fresh_prefix(env, prefix):
    """Makes a fresh prefix at prefix, as wineboot makes one, with a virtual desktop so that Wine
    draws the boxes' title bars itself (Xvfb has no window manager to draw them): copied from a
    template made once for this Wine, locale and recipe, since wineboot takes seconds and writes
    hundreds of megabytes each time, which sessions side by side would wait on."""
    version = subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout.strip()
    key = hashlib.sha256(repr((version, env["LC_ALL"], PREFIX_RECIPE)).encode()).hexdigest()[:16]
    template = Path(tempfile.gettempdir()) / f"quenwick-wine-template-{os.getuid()}-{key}"
    with open(f"{template}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (template / "made").exists():
            shutil.rmtree(template, ignore_errors=True)
            template.mkdir()
            made = {**env, "WINEPREFIX": str(template / "prefix")}
            # Without the overrides a new prefix stops to offer the Mono and Gecko installers.
            subprocess.run([WINE, "wineboot", "-i"], env=made, check=True, timeout=600,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for key_name, name, value in PREFIX_RECIPE:
                subprocess.run([WINE, "reg", "add", f"HKCU\\Software\\Wine\\{key_name}", "/v",
                                name, "/d", value, "/f"], env=made, check=True, timeout=600,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-k"], env=made, timeout=600)
            subprocess.run(["wineserver", "-w"], env=made, timeout=600)
            (template / "made").touch()
    shutil.copytree(template / "prefix", prefix, symlinks=True, copy_function=_link_or_copy)


def _link_or_copy(source, target):
    if Path(source).suffix.lower() in READ_ONLY_SUFFIXES:
        os.link(source, target)
    else:
        shutil.copy2(source, target)


class WineSession:
    """Starts Xvfb and makes a fresh prefix; close() ends every Wine process and removes both.
    Its box_driver answers boxes, and may be None where there are none to answer. Wine speaks the
    language of locale, which must be a UTF-8 one."""

    def __init__(self, box_driver=None, locale="C.UTF-8"):
        self.box_driver = box_driver
        if ON_WINDOWS:
            self.env = dict(os.environ)
            self.drive_c = Path(os.environ.get("SystemDrive", "C:") + "\\")
            self.launcher = []
            self.local_app_data = Path(os.environ["LOCALAPPDATA"])
            self.startup = (Path(os.environ["APPDATA"])
                            / "Microsoft/Windows/Start Menu/Programs/Startup")
            self.temp = Path(os.environ["TEMP"])
            return
        self.launcher = [WINE]
        self.root = Path(tempfile.mkdtemp(prefix="quenwick-wine-"))
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        display = self.xvfb.stdout.readline().decode().strip()
        self.xvfb.stdout.close()
        # Wine names files on this machine, and reads its environment, in the locale's character
        # set: UTF-8, so that any name of a Windows program's survives.
        self.env = {**os.environ, "DISPLAY": f":{display}", "WINEPREFIX": str(self.root / "prefix"),
                    "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=", "LC_ALL": locale}
        fresh_prefix(self.env, self.root / "prefix")
        self.drive_c = self.root / "prefix/drive_c"
        # The user's folders are named after the account that runs Wine.
        home = self.drive_c / "users" / getpass.getuser()
        self.local_app_data = home / "AppData/Local"
        self.startup = home / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp"
        self.temp = self.local_app_data / "Temp"

    def wineserver(self, flag):
        if ON_WINDOWS:
            return
        subprocess.run(["wineserver", flag], env=self.env, timeout=600,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def reg(self, *arguments, check=True):
        """Runs Windows' reg with arguments, and gives the finished process with its output."""
        return subprocess.run([*self.launcher, "reg", *arguments], env=self.env, check=check,
                              capture_output=True, text=True, timeout=60)

    def registry_values(self, key):
        """The values of a registry key by name, or None when there is no such key. The key is
        exported, since reg writes what it shows in the console's code page, which has no Polish
        letters, while its export is UTF-16. An export that fails is no answer unless reg query
        says that there is no such key; one that fails again is an error."""
        with tempfile.TemporaryDirectory() as folder:
            exported = Path(folder) / "key.reg"
            for _ in range(2):
                export = self.reg("export", key, self.windows_path(exported), "/y", check=False)
                if export.returncode == 0:
                    break
                if self.reg("query", key, check=False).returncode != 0:
                    return None
            else:
                raise RuntimeError(f"reg could not export {key}: {export.stderr}")
            text = exported.read_bytes().decode("utf-16")
        values = {}
        text = re.sub(r"\\\r?\n\s*", "", text)  # a long binary value goes on over several lines
        for name, value in re.findall(r'^"((?:[^"\\]|\\.)*)"=(.*)$', text, re.MULTILINE):
            name = re.sub(r"\\(.)", r"\1", name)
            if value.startswith('"'):
                values[name] = re.sub(r"\\(.)", r"\1", value.strip()[1:-1])
            elif value.startswith("dword:"):
                values[name] = int(value[len("dword:"):], 16)
            elif value.startswith("hex:"):
                values[name] = bytes.fromhex(value[len("hex:"):].replace(",", ""))
        return values

    def local_path(self, path):
        """The file or folder that a Windows program means by path, as this machine sees it."""
        if ON_WINDOWS:
            return Path(path)
        drive, rest = path.split(":", 1)
        drive_folder = self.root / "prefix/dosdevices" / f"{drive.lower()}:"
        return drive_folder / rest.replace("\\", "/").lstrip("/")

    def windows_path(self, path):
        """The path as Windows programs in the prefix see it: on drive C:, or else on Z:, which
        is the root of this machine."""
        path = Path(path).absolute()
        if ON_WINDOWS:
            return str(path)
        if path.is_relative_to(self.drive_c):
            return "C:\\" + str(path.relative_to(self.drive_c)).replace("/", "\\")
        return "Z:" + str(path).replace("/", "\\")

    def start(self, program, *arguments, **options):
        """Starts a Windows program without waiting for it."""
        options = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, "env": self.env,
                   **options}
        return subprocess.Popen([*self.launcher, self.windows_path(program), *arguments], **options)

    def run(self, program, *arguments, **options):
        """Runs a Windows program to its end, with arguments written after its quoted path as they
        are, as a user types them; gives its whole exit code. The options are run_command_line's."""
        command_line = " ".join([f'"{self.windows_path(program)}"', *arguments])
        return self.run_command_line(command_line, **options)

    def run_command_line(self, command_line, timeout=120, env=None, folder=None):
        """Runs a Windows command line to its end, as a deployment tool runs one that it was given,
        with env added to its environment and folder, a Windows path, as its current folder if
        given; gives its whole exit code. Wine gives a Unix parent only the code's low byte, so cmd
        starts the program, waits for it and says the code. The command line reaches cmd in a
        variable that it expands only after it has parsed the line, so that no character of a path
        (&, ^, %, !) means anything to it; and so does the folder, which start gives the program
        alone, so that cmd, the tool, does not keep it from being removed. Wine's start takes the
        quotes around a folder for part of its name, so the folder may hold no space."""
        env = {**self.env, **(env or {}), "QUENWICK_COMMAND_LINE": command_line,
               "QUENWICK_FOLDER": folder or ""}
        if ON_WINDOWS:
            return subprocess.run(command_line, env=env, timeout=timeout, cwd=folder).returncode
        if folder and " " in folder:
            raise ValueError(f"Wine's start cannot start a program in {folder}")
        in_folder = "/d!QUENWICK_FOLDER! " if folder else ""
        # cmd says that it started, then the code. The program never started when cmd says nothing
        # at all, when start says why it could not (ShellExecuteEx failed), or when cmd could not
        # run start itself (9009, which no program here gives): passing failures of Wine's, seen
        # under load, so the line is run again once the wineserver of the processes before it has
        # gone. Anything else is an error; a code is never guessed.
        for _ in range(3):
            with tempfile.TemporaryFile() as output:
                subprocess.run([WINE, "cmd", "/v:on", "/c", f'echo started& start "" {in_folder}'
                                "/wait !QUENWICK_COMMAND_LINE! & echo !errorlevel!"],
                               env=env, timeout=timeout, stdout=output, stderr=subprocess.DEVNULL)
                output.seek(0)
                said = output.read()
            words = said.split()
            if not words or b"ShellExecuteEx failed" in said or words[1:] == [COMMAND_NOT_RUN]:
                self.wineserver("-w")
                continue
            if words[:1] == [b"started"] and len(words) == 2 and words[1].lstrip(b"-").isdigit():
                return int(words[1])
            break
        raise RuntimeError(f"cmd gave no exit code for {command_line}, but: {said}")

    def hold(self, holder, path, sharing="none", milliseconds=None):
        """Starts holder, file_holder.exe, keeping the file at path open with sharing ("none",
        "read" or "scan") for milliseconds, or until its standard input is closed; gives it once it
        holds the file."""
        arguments = [path, sharing, *([str(milliseconds)] if milliseconds else [])]
        process = self.start(holder, *arguments, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        said = process.stdout.readline()  # one line, not to the end
        process.stdout.close()
        if said != b"held\n":
            raise RuntimeError(f"{holder} could not hold {path}: {said}")
        return process

    def box(self, answer=0, caption="Quenwick"):
        """The next box of quenwick.exe (or the dialog with that caption) as a dict, after pressing
        the button answer unless it is 0; None when no box appears."""
        with tempfile.TemporaryFile() as description:
            subprocess.run([*self.launcher, self.box_driver, str(answer), caption], env=self.env,
                           timeout=120, stdout=description, stderr=subprocess.DEVNULL)
            description.seek(0)
            return json.loads(description.read())

    def screenshot(self, rect, path):
        left, top, right, bottom = rect
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", "-crop",
                        f"{right - left}x{bottom - top}+{left}+{top}", "+repage", str(path)],
                       check=True, timeout=60)

    def close(self):
        if ON_WINDOWS:
            return
        self.wineserver("-k")
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.root, ignore_errors=True)
