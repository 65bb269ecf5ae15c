"""The facts that the programs, their tests and their guides share, each read here from the one file
that defines it: the box texts from the check run, the box's answers from the platform layer, the
registry key and the exit codes from the setup program's sources, and the version from the build;
so that a change in that one place leaves no test behind. The setup program's stop points are the
program's own, which it lists (listed_by)."""

import re
import subprocess
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
STRING = r'"((?:[^"\\]|\\.)*)"'  # a C++ string literal, and its text


def read(path):
    return (SOURCE / path).read_text(encoding="utf-8")


def unquoted(text):
    return re.sub(r"\\(.)", r"\1", text)


def found(pattern, path):
    match = re.search(pattern, read(path), re.MULTILINE)
    if not match:
        raise LookupError(f"{path} no longer defines {pattern}")
    return match


# What the check run shows.
NOTICE = "".join(unquoted(piece) for piece in re.findall(
    STRING, found(r"FirstRunNotice =\s*((?:\"(?:[^\"\\]|\\.)*\"\s*)+);",
                  "src/check/baseline_file.h")[1]))
_WARNING = found(rf"return {STRING} \+ path \+ {STRING};", "src/check/change_report.cpp")


def warning(path):
    """The box that warns that the file at path has changed."""
    return unquoted(_WARNING[1]) + path + unquoted(_WARNING[2])


# The answers of the boxes, as Windows numbers them; IDCANCEL, which the program never asks for, is
# the one button that Windows may give a box with OK alone.
_ANSWERS = dict(re.findall(r"inline constexpr int Answer(\w+) = (\d+);",
                           read("src/platform/platform.h")))
OK, YES, NO = (int(_ANSWERS[name]) for name in ["Ok", "Yes", "No"])
CANCEL = 2

# What the setup program writes and says.
UNINSTALL_KEY = "HKCU\\" + unquoted(found(rf"UninstallKey =\s*{STRING};", "src/setup/setup_names.h")[1])
EXIT = {re.sub(r"(?<!^)(?=[A-Z])", "_", name).upper(): int(code) for name, code in
        re.findall(r"^inline constexpr int Exit(\w+) = (\d+);", read("src/setup/exit_codes.h"),
                   re.MULTILINE)}

VERSION = found(r"^project\(Quenwick\s+VERSION ([\d.]+)", "CMakeLists.txt")[1]


def listed_by(program):
    """What a program (a command line: the native stop_points) lists of the setup program, one a
    line: its stop points, or with --files the files of an install."""
    return subprocess.run(program, capture_output=True, text=True, check=True).stdout.split()
