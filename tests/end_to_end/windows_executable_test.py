"""The shape of quenwick.exe, or of its setup program, read with pefile wherever it was built: a
64-bit GUI-subsystem program, Terminal Server aware, for Windows 10 and later, that carries its icon, manifest and
version resource, imports no DLL but KERNEL32 (and MinGW's C runtime), and is hardened as BinSkim,
Microsoft's binary checker, asks. Two of BinSkim's rules are met by the MSVC build alone and checked
on it: Control Flow Guard (BA2008), which GCC cannot instrument indirect calls for, and the shadow
stack (BA2025), which GNU ld 2.40 cannot mark. QUENWICK_TOOLCHAIN says which built it: msvc or
mingw; QUENWICK_FILE_DESCRIPTION, the description that the program's version information gives."""

import os
import struct
import unittest
from pathlib import Path

import pefile

QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
ICON = Path(os.environ["QUENWICK_ICON"])
PUBLISHER = os.environ["QUENWICK_PUBLISHER"]
MSVC = os.environ["QUENWICK_TOOLCHAIN"] == "msvc"
DESCRIPTION = os.environ.get("QUENWICK_FILE_DESCRIPTION", "Quenwick")
# The licence as LICENSE names it on its first line.
LICENSE = (Path(__file__).parents[2] / "LICENSE").read_text().splitlines()[0]
PE = pefile.PE(QUENWICK_EXE)
HEADER = PE.OPTIONAL_HEADER
PROGRAM = QUENWICK_EXE.read_bytes()

SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000
RT_ICON, RT_MANIFEST, RT_VERSION = 3, 24, 16
DEBUG_TYPE_REPRO, DEBUG_TYPE_EX_DLLCHARACTERISTICS = 16, 20
GUARD_CF_INSTRUMENTED = 0x100
CET_COMPAT = 0x1
# The offsets in IMAGE_LOAD_CONFIG_DIRECTORY64 of GuardFlags and DependentLoadFlags, which this
# pefile does not name.
GUARD_FLAGS_AT, DEPENDENT_LOAD_FLAGS_AT = 0x90, 0x4E


def resources(kind):
    """The data of every resource of that type, in every language."""
    for entry in PE.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == kind:
            return [PE.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                    for name in entry.directory.entries for language in name.directory.entries]
    return []


def icon_images(icon):
    """The images of an icon file, in no particular order."""
    count = struct.unpack_from("<H", icon, 4)[0]
    entries = [struct.unpack_from("<8xII", icon, 6 + 16 * index) for index in range(count)]
    return sorted(icon[offset:offset + size] for size, offset in entries)


def debug_entries(kind):
    """The data of the debug directory's entries of that type."""
    return [PE.get_data(entry.struct.AddressOfRawData, entry.struct.SizeOfData)
            for entry in getattr(PE, "DIRECTORY_ENTRY_DEBUG", [])
            if entry.struct.Type == kind]


def load_config():
    """The bytes of the load configuration directory, or none."""
    directory = HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    return PE.get_data(directory.VirtualAddress, directory.Size) if directory.Size else b""


class WindowsExecutableTest(unittest.TestCase):
    def test_is_a_64_bit_gui_program_for_windows_10_and_later(self):
        for name, value, expected in [
                ("Magic", HEADER.Magic, pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS),
                ("Subsystem", HEADER.Subsystem,
                 pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]),
                ("MajorSubsystemVersion", HEADER.MajorSubsystemVersion, 10),
                ("MinorSubsystemVersion", HEADER.MinorSubsystemVersion, 0),
                ("MajorOperatingSystemVersion", HEADER.MajorOperatingSystemVersion, 10),
                ("MinorOperatingSystemVersion", HEADER.MinorOperatingSystemVersion, 0)]:
            self.assertEqual(value, expected, name)

    def test_imports_neither_user32_nor_anything_beyond_kernel32_and_the_c_runtime(self):
        # user32.dll, with gdi32.dll behind it, is loaded only when a box is shown. MSVC's C
        # runtime is linked in, so no Visual C++ Redistributable is needed.
        dlls = {entry.dll.decode().lower() for entry in PE.DIRECTORY_ENTRY_IMPORT}
        self.assertEqual(dlls, {"kernel32.dll"} if MSVC else {"kernel32.dll", "msvcrt.dll"})

    def test_loads_at_a_random_address_above_4_gib_runs_no_data_and_knows_terminal_server(self):
        # BA2009 (ASLR), BA2015 (high-entropy ASLR), BA2016 (NX) and BA2001 (above 4 GiB). Wine has
        # no Terminal Server: without the flag, a Remote Desktop server would give the program a
        # private Windows directory for each user, where no hosts file is.
        for name in ["HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE"]:
            self.assertTrue(HEADER.DllCharacteristics
                            & pefile.DLL_CHARACTERISTICS[f"IMAGE_DLLCHARACTERISTICS_{name}"], name)
        self.assertGreaterEqual(HEADER.ImageBase, 1 << 32)
        self.assertIn(".reloc", [section.Name.rstrip(b"\0").decode() for section in PE.sections],
                      "ASLR needs relocations")

    def test_no_section_is_both_writable_and_executable(self):
        # BA2021.
        for section in PE.sections:
            self.assertNotEqual(section.Characteristics & (SCN_MEM_EXECUTE | SCN_MEM_WRITE),
                                SCN_MEM_EXECUTE | SCN_MEM_WRITE, section.Name)

    def test_stack_and_buffer_overruns_end_the_process_at_once(self):
        # BA2011 (stack protection), and with MinGW _FORTIFY_SOURCE's checked copies: their failure
        # handlers are linked only when protected code calls them, and fail fast with their own
        # codes (mov ecx, code; int 0x29).
        code = b"".join(section.get_data() for section in PE.sections
                        if section.Characteristics & SCN_MEM_EXECUTE)
        for name, fail_fast_code in [("stack cookie", 2), *([] if MSVC else [("range check", 8)])]:
            self.assertTrue(b"\xb9" + struct.pack("<I", fail_fast_code) + b"\xcd\x29" in code, name)

    @unittest.skipUnless(MSVC, "GCC cannot instrument indirect calls, nor GNU ld mark CET")
    def test_indirect_calls_are_guarded_and_returns_checked_by_the_shadow_stack(self):
        # BA2008 (Control Flow Guard) and BA2025 (CET shadow stack); and the DLLs that the imports
        # load come from System32 alone.
        self.assertTrue(HEADER.DllCharacteristics
                        & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_GUARD_CF"])
        config = load_config()
        self.assertTrue(struct.unpack_from("<I", config, GUARD_FLAGS_AT)[0]
                        & GUARD_CF_INSTRUMENTED)
        self.assertEqual(struct.unpack_from("<H", config, DEPENDENT_LOAD_FLAGS_AT)[0], 0x800)
        flags, = debug_entries(DEBUG_TYPE_EX_DLLCHARACTERISTICS)
        self.assertTrue(struct.unpack_from("<I", flags)[0] & CET_COMPAT)

    def test_carries_its_icon_manifest_and_version_resource(self):
        self.assertEqual(sorted(resources(RT_ICON)), icon_images(ICON.read_bytes()))
        self.assertEqual(len(resources(RT_VERSION)), 1)
        manifest, = resources(RT_MANIFEST)
        for text in [b'level="asInvoker"', b'name="Microsoft.Windows.Common-Controls"',
                     b"PerMonitorV2", b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                     b"<longPathAware", b">true</longPathAware>"]:
            self.assertIn(text, manifest)
        # What Task Manager, the startup apps and Explorer's details show.
        strings = {key.decode(): value.decode()
                   for info in PE.FileInfo[0] if info.Key == b"StringFileInfo"
                   for table in info.StringTable for key, value in table.entries.items()}
        for name, value in [("ProductName", "Quenwick"), ("FileDescription", DESCRIPTION),
                            ("CompanyName", PUBLISHER),
                            ("LegalCopyright", f"Copyright © 2026 {PUBLISHER}. {LICENSE}.")]:
            self.assertEqual(strings.get(name), value, name)
        self.assertTrue(strings["Comments"].startswith(
            "Warns when a hosts file of Windows has changed size"))

    def test_the_same_sources_give_the_same_bytes(self):
        # MinGW's linker leaves the link time out; MSVC's, given /Brepro, writes a hash of the
        # image in its place and says so in a debug entry.
        if MSVC:
            self.assertEqual(len(debug_entries(DEBUG_TYPE_REPRO)), 1)
        else:
            self.assertEqual(PE.FILE_HEADER.TimeDateStamp, 0)


if __name__ == "__main__":
    unittest.main()
