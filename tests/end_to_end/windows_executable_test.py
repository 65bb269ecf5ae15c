"""The shape of quenwick.exe: a 64-bit GUI-subsystem program that carries its manifest and version
resource and needs no DLL but Windows' own."""

import os
import re
import subprocess
import unittest
from pathlib import Path

QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
HEADERS = subprocess.run([os.environ["OBJDUMP"], "-p", QUENWICK_EXE], capture_output=True,
                         text=True, check=True).stdout
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                "ole32.dll", "comctl32.dll", "msvcrt.dll", "ntdll.dll"}


class WindowsExecutableTest(unittest.TestCase):
    def test_is_a_64_bit_gui_program(self):
        self.assertRegex(HEADERS, r"Magic\s+020b\s+\(PE32\+\)")
        self.assertRegex(HEADERS, r"Subsystem\s+00000002\s+\(Windows GUI\)")

    def test_imports_only_windows_system_dlls(self):
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", HEADERS)}
        self.assertLessEqual(dlls, WINDOWS_DLLS)

    def test_carries_its_manifest_and_version_resource(self):
        self.assertRegex(HEADERS, r"Type Table:(.|\n)*Entry: ID: 0x000010(.|\n)*ID: 0x000018")
        program = QUENWICK_EXE.read_bytes()
        for text in [b'level="asInvoker"', b'name="Microsoft.Windows.Common-Controls"',
                     b"PerMonitorV2", b"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"]:
            self.assertTrue(text in program, text)
        product = (re.escape("ProductName".encode("utf-16-le")) + rb"(?:\0\0)+" +
                   re.escape("Quenwick".encode("utf-16-le")))
        self.assertTrue(re.search(product, program), "no product name in the version resource")


if __name__ == "__main__":
    unittest.main()
