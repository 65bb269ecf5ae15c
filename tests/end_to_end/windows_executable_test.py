"""The shape of quenwick.exe: a 64-bit GUI-subsystem program, marked as MSVC marks one (Terminal
Server aware, for Windows 6.0 and later), that carries its icon, manifest and version resource,
imports no DLL but KERNEL32 and the C runtime, and is hardened as BinSkim, Microsoft's
binary checker, asks. BinSkim's Control Flow Guard rule (BA2008) is out of reach: GCC cannot
instrument indirect calls for it, so the image carries no guard table. Nor is its shadow stack
rule (BA2025): GNU ld 2.40 cannot mark an image compatible with CET."""

import os
import re
import struct
import subprocess
import unittest
from pathlib import Path

QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
OBJDUMP = os.environ["OBJDUMP"]
ICON = Path(os.environ["QUENWICK_ICON"])
PUBLISHER = os.environ["QUENWICK_PUBLISHER"]
HEADERS = subprocess.run([OBJDUMP, "-p", QUENWICK_EXE], capture_output=True, text=True,
                         check=True).stdout
PROGRAM = QUENWICK_EXE.read_bytes()

SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000
PE_HEADER = struct.unpack_from("<I", PROGRAM, 0x3C)[0]


def sections():
    """(name, characteristics) of each section, from the PE section table."""
    count, optional_size = struct.unpack_from("<H12xH", PROGRAM, PE_HEADER + 6)
    table = PE_HEADER + 24 + optional_size
    return [(PROGRAM[at:at + 8].rstrip(b"\0").decode(),
             struct.unpack_from("<I", PROGRAM, at + 36)[0])
            for at in range(table, table + 40 * count, 40)]


def icon_images(icon):
    """The images of an icon file, in no particular order."""
    count = struct.unpack_from("<H", icon, 4)[0]
    entries = [struct.unpack_from("<8xII", icon, 6 + 16 * index) for index in range(count)]
    return sorted(icon[offset:offset + size] for size, offset in entries)


class WindowsExecutableTest(unittest.TestCase):
    def test_is_a_64_bit_gui_program_for_windows_6_and_later(self):
        for header in [r"Magic\s+020b\s+\(PE32\+\)", r"Subsystem\s+00000002\s+\(Windows GUI\)",
                       r"MajorSubsystemVersion\s+6\n", r"MinorSubsystemVersion\s+0\n",
                       r"MajorOSystemVersion\s+6\n", r"MinorOSystemVersion\s+0\n"]:
            self.assertRegex(HEADERS, header)

    def test_imports_neither_user32_nor_anything_beyond_kernel32_and_the_c_runtime(self):
        # user32.dll, with gdi32.dll behind it, is loaded only when a box is shown.
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", HEADERS)}
        self.assertEqual(dlls, {"kernel32.dll", "msvcrt.dll"})

    def test_loads_at_a_random_address_above_4_gib_runs_no_data_and_knows_terminal_server(self):
        # BA2009 (ASLR), BA2015 (high-entropy ASLR), BA2016 (NX) and BA2001 (above 4 GiB). Wine has
        # no Terminal Server: without the flag, a Remote Desktop server would give the program a
        # private Windows directory for each user, where no hosts file is.
        flags = re.search(r"DllCharacteristics\s+([0-9a-f]+)", HEADERS).group(1)
        for name, bit in [("HIGH_ENTROPY_VA", 0x20), ("DYNAMIC_BASE", 0x40), ("NX_COMPAT", 0x100),
                          ("TERMINAL_SERVER_AWARE", 0x8000)]:
            self.assertTrue(int(flags, 16) & bit, name)
        self.assertGreaterEqual(int(re.search(r"ImageBase\s+([0-9a-f]+)", HEADERS).group(1), 16),
                                1 << 32)
        self.assertIn(".reloc", [name for name, _ in sections()], "ASLR needs relocations")

    def test_no_section_is_both_writable_and_executable(self):
        # BA2021.
        for name, characteristics in sections():
            self.assertNotEqual(characteristics & (SCN_MEM_EXECUTE | SCN_MEM_WRITE),
                                SCN_MEM_EXECUTE | SCN_MEM_WRITE, name)

    def test_stack_and_buffer_overruns_end_the_process_at_once(self):
        # BA2011 (stack protection), and _FORTIFY_SOURCE's checked copies: their failure handlers
        # are linked only when protected code calls them, and fail fast with their own codes.
        code = subprocess.run([OBJDUMP, "-d", QUENWICK_EXE], capture_output=True, text=True,
                              check=True).stdout
        for name, fail_fast_code in [("stack cookie", 2), ("range check", 8)]:
            self.assertRegex(code, rf"mov\s+\$0x{fail_fast_code:x},%ecx\s*\n.*int\s+\$0x29", name)

    def test_carries_its_icon_manifest_and_version_resource(self):
        icon = subprocess.run(["wrestool", "-x", "--type=group_icon", QUENWICK_EXE],
                              capture_output=True, check=True).stdout
        self.assertEqual(icon_images(icon), icon_images(ICON.read_bytes()))
        self.assertRegex(HEADERS, r"Type Table:(.|\n)*Entry: ID: 0x000010(.|\n)*ID: 0x000018")
        for text in [b'level="asInvoker"', b'name="Microsoft.Windows.Common-Controls"',
                     b"PerMonitorV2", b"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                     b"<longPathAware", b">true</longPathAware>"]:
            self.assertTrue(text in PROGRAM, text)
        # What Task Manager, the startup apps and Explorer's details show.
        for name, value in [("ProductName", "Quenwick"), ("FileDescription", "Quenwick"),
                            ("CompanyName", PUBLISHER),
                            ("LegalCopyright", f"Copyright © 2026 {PUBLISHER}"),
                            ("Comments", "Warns when a hosts file of Windows has changed size")]:
            pattern = (re.escape(name.encode("utf-16-le")) + rb"(?:\0\0)+" +
                       re.escape(value.encode("utf-16-le")))
            self.assertTrue(re.search(pattern, PROGRAM), name)

    def test_carries_no_link_time(self):
        self.assertEqual(struct.unpack_from("<I", PROGRAM, PE_HEADER + 8)[0], 0)


if __name__ == "__main__":
    unittest.main()
