"""The setup program under Wine, as a Windows user and an admin meet it: a silent per-user install,
the first check at the next logon, an upgrade, a move to another folder, the uninstaller, and every
refusal, in a fresh prefix on a virtual display."""

import contextlib
import os
import shutil
import struct
import subprocess
import time
import unittest
from pathlib import Path

from wine_session import WINE, WineSession

SETUP = Path(os.environ["QUENWICK_SETUP"])
QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
# The same setup program, ending dead where QUENWICK_SETUP_STOP says, as a crash would.
STOPPING_SETUP = Path(os.environ["QUENWICK_STOPPING_SETUP"])
STOPS = ["marked", "probing", "written", "uninstaller-swapped", "record", "entry", "shortcut",
         "others-set-aside", "program-swapped", "version-registered", "old-programs-removed",
         "folders-left"]
VERSION = SETUP.name.split("-")[1]
RECORD = b"-1\r\n-1\r\n734\r\n-1\r\n"
QUIET_RECORD = b"-1\r\n" * 4
UNINSTALL_SCRIPT = SETUP.parent / "uninstall-quenwick.cmd"
# Every character that cmd or a path could take for something else, and letters outside the OEM
# code page. Wine's shell link takes a name between two % signs in a program's path for an
# environment variable however the shortcut is made, so the folder has one % alone. The uninstall
# script's own folder has none: cmd takes % in the path of a batch file that it runs for a variable.
EVERY_CHARACTER = "R&D 100% ^!()' żółw"
LOCAL_APP_DATA = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"
PUBLISHER = os.environ["QUENWICK_PUBLISHER"]
NOTICE = "Program został po raz pierwszy uruchomiony, albo ktoś skasował kilka plików :-)"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenwick"
OK = 1

session = None


def setUpModule():
    global session
    session = WineSession(os.environ["BOX_DRIVER"])


def tearDownModule():
    session.close()


# The signature of VS_FIXEDFILEINFO, whose file and product versions follow 4 bytes after it.
FIXED_FILE_INFO = b"\xbd\x04\xef\xfe"


def version_of(program):
    """A program's file version as (major, minor, patch), or () when it has none."""
    data = program.read_bytes() if program.is_file() else b""
    fixed = data.find(FIXED_FILE_INFO)
    if fixed < 0:
        return ()
    high, low = struct.unpack_from("<2I", data, fixed + 8)
    return high >> 16, high & 0xFFFF, low >> 16


def version_tuple(text):
    return tuple(map(int, text.split("."))) if text else ()


def program_of_version(version):
    """The bytes of quenwick.exe with the file and product versions of its version information
    changed to version, "major.minor.patch", as the setup program reads them."""
    program = bytearray(QUENWICK_EXE.read_bytes())
    fixed = program.index(FIXED_FILE_INFO)
    major, minor, patch = map(int, version.split("."))
    struct.pack_into("<4I", program, fixed + 8, major << 16 | minor, patch << 16,
                     major << 16 | minor, patch << 16)
    return bytes(program)


def group_icon(program):
    return subprocess.run(["wrestool", "-x", "--type=group_icon", program], capture_output=True,
                          check=True).stdout


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = session.local_app_data / "Programs/Quenwick"
        cls.shortcut = session.startup / "Quenwick.lnk"
        cls.tools = session.drive_c / "Tools"

    def tearDown(self):
        # Each test starts with nothing installed, and no mark of an install under way.
        for folder in [self.folder, self.tools / "Quenwick"]:
            if (folder / "uninstall.exe").exists():
                session.run(folder / "uninstall.exe", "/S", f"_?={session.windows_path(folder)}")
        for folder in [self.folder, self.tools]:
            shutil.rmtree(folder, ignore_errors=True)
        session.reg("delete", UNINSTALL_KEY, "/f", check=False)
        self.shortcut.unlink(missing_ok=True)

    @contextlib.contextmanager
    def arranged(self, arrange):
        """A case after arrange, if any; then what arrange gave, to take it back, and a fresh
        start for the next case."""
        finish = arrange() if arrange else None
        try:
            yield
        finally:
            if finish:
                finish()
            self.tearDown()

    def install(self, *arguments):
        self.assertEqual(session.run(SETUP, "/S", *arguments), 0)

    def uninstall(self, folder):
        self.assertEqual(session.run(folder / "uninstall.exe", "/S"), 0)
        # The uninstaller hands its work to a copy of itself, which it starts with _?=, and
        # returns at once.
        for _ in range(100):
            ps = subprocess.run(["ps", "-eo", "stat,args"], capture_output=True, text=True).stdout
            if not any("_?=" in line and not line.startswith("Z") for line in ps.splitlines()):
                break
            time.sleep(0.2)
        self.assertIsNone(self.registry(), "the uninstaller left its registry entry")

    def registry(self):
        """The values of the Apps & features entry by name, or None when there is no entry."""
        return session.registry_values(UNINSTALL_KEY)

    def state(self):
        """All that an install or uninstall may change: the entry, and every file and folder in
        the Startup folder and in the folders that the tests install into, with its bytes."""
        files = {path: path.read_bytes() if path.is_file() else None
                 for top in [self.shortcut.parent, self.folder.parent, self.tools] if top.exists()
                 for path in top.rglob("*")}
        return self.registry(), files, sorted(session.drive_c.iterdir())

    def test_silent_install_puts_everything_in_place_and_the_next_logon_runs_the_check(self):
        self.install()
        exe, uninstaller = self.folder / "quenwick.exe", self.folder / "uninstall.exe"
        self.assertEqual(sorted(self.folder.iterdir()), [exe, uninstaller],
                         "a silent install runs nothing, so there is no data.dat yet")
        self.assertEqual(group_icon(uninstaller), group_icon(exe))
        self.assertIn(session.windows_path(exe).encode(), self.shortcut.read_bytes())
        size = exe.stat().st_size + uninstaller.stat().st_size
        self.assertEqual(self.registry(), {
            "DisplayName": "Quenwick", "DisplayVersion": SETUP.name.split("-")[1],
            "Publisher": PUBLISHER, "DisplayIcon": session.windows_path(exe),
            "InstallLocation": session.windows_path(self.folder),
            "UninstallString": f'"{session.windows_path(uninstaller)}"',
            "QuietUninstallString": f'"{session.windows_path(uninstaller)}" /S',
            "EstimatedSize": -(-size // 1024), "NoModify": 1, "NoRepair": 1})

        # A logon: Wine starts afresh and runs what the Startup folder holds.
        session.wineserver("-k")
        subprocess.Popen([WINE, "wineboot"], env=session.env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
        self.assertEqual(session.box(OK)["text"], NOTICE)
        for _ in range(100):
            if (self.folder / "data.dat").exists():
                break
            time.sleep(0.1)
        self.assertEqual((self.folder / "data.dat").read_bytes().count(b"\r\n"), 4)

    def test_install_without_a_folder_goes_where_the_install_is_and_keeps_its_record(self):
        chosen = self.tools / "Quenwick"
        for name, arrange, folder, record in [
            ("install in a folder of its own", lambda: self.installed_with_record(chosen), chosen,
             RECORD),
            ("entry of a newer version whose program has gone", self.newer_entry_without_program,
             self.folder, RECORD),
            ("move cut off with an empty record copied", self.move_cut_off_with_empty_record,
             chosen, RECORD),
            ("uninstalled in place, which leaves the uninstaller", self.uninstalled_in_place,
             self.folder, None),
        ]:
            with self.subTest(name), self.arranged(arrange):
                self.install()
                self.assert_whole_install(folder, record)
                if folder != self.folder:
                    self.assertFalse(self.folder.exists())

    def test_install_into_another_folder_moves_the_install_with_its_record(self):
        # The longest folder leaves room for the program's temporary record within MAX_PATH.
        for moved in [self.tools / "Quenwick", self.tools / ("q" * (235 - len("C:\\Tools\\")))]:
            with self.subTest(len(session.windows_path(moved))), \
                    self.arranged(self.installed_with_record):
                self.install(f"/D={session.windows_path(moved)}")
                self.assert_whole_install(moved, RECORD)
                self.assertFalse(self.folder.exists())

    def assert_whole_install(self, folder, record, location=None):
        """This version is installed in folder, registered as location (folder's own path unless
        given) and started by the shortcut, with record as its data.dat (None for none), and
        nothing else is left of the install: no mark, no .new or .old file."""
        location = location or session.windows_path(folder)
        expected = ["quenwick.exe", "uninstall.exe", *(["data.dat"] if record else [])]
        self.assertEqual(sorted(path.name for path in folder.iterdir()), sorted(expected))
        if record:
            self.assertEqual((folder / "data.dat").read_bytes(), record)
        entry = self.registry()
        self.assertEqual((entry["InstallLocation"], entry["DisplayVersion"]), (location, VERSION))
        self.assertNotIn("MovingTo", entry)
        self.assertTrue(self.shortcut_starts(location))

    def shortcut_starts(self, location):
        """Whether the Startup shortcut starts quenwick.exe in the folder of that Windows path: its
        item list names each folder on the way there, then the program, in UTF-16."""
        link = self.shortcut.read_bytes() if self.shortcut.is_file() else b""
        at = 0
        for name in [*location.split("\\")[1:], "quenwick.exe"]:
            at = link.find(name.encode("utf-16-le"), at)
            if at < 0:
                return False
        return True

    def is_whole(self, folder):
        """Whether folder holds a whole install of this version: its program and uninstaller, the
        shortcut starting that program and the entry naming the folder."""
        location = (self.registry() or {}).get("InstallLocation")
        return (version_of(folder / "quenwick.exe") == version_tuple(VERSION)
                and (folder / "uninstall.exe").is_file() and location is not None
                and session.local_path(location).exists()
                and session.local_path(location).samefile(folder)
                and self.shortcut_starts(location))

    def assert_detection_tells_the_truth(self, folder):
        """Each detection that the guide gives says "installed" only of a whole install: the file
        rule, with its version, in folder, and the registry rule in the folder of the entry. The
        logon script's is the setup program's own, which the runs after this one try."""
        entry = self.registry() or {}
        if version_of(folder / "quenwick.exe") >= version_tuple(VERSION):
            self.assertTrue(self.is_whole(folder), "the file rule says installed")
        if version_tuple(entry.get("DisplayVersion")) >= version_tuple(VERSION):
            self.assertTrue(self.is_whole(session.local_path(entry["InstallLocation"])),
                            "the registry rule says installed")

    def assert_nothing_left(self, *folders):
        """Nothing is left that starts at logon, nor any entry or folder of Quenwick's."""
        self.assertIsNone(self.registry())
        self.assertFalse(self.shortcut.exists())
        for folder in folders:
            self.assertFalse(folder.exists(), folder)

    def test_installed_folder_named_another_way_is_the_same_install(self):
        # An admin's %BASE%\Quenwick with BASE ending in a separator, and other spellings; Q: is a
        # second drive letter for drive C. The install is an older version's, which is upgraded.
        path = session.windows_path(self.folder)
        other_drive = session.root / "prefix/dosdevices/q:"
        other_drive.symlink_to("../drive_c")
        self.addCleanup(other_drive.unlink)
        for name, spelling, location in [
            ("doubled separator", path.replace("\\Quenwick", "\\\\Quenwick"), path),
            ("a step up and down", path.replace("\\Quenwick", "\\..\\Programs\\Quenwick"), path),
            ("a trailing dot", path + "\\.", path),
            ("another drive letter", "Q" + path[1:], "Q" + path[1:]),
        ]:
            with self.subTest(name), self.arranged(lambda: self.older_installed(RECORD)):
                self.install(f"/D={spelling}")
                self.assert_whole_install(self.folder, RECORD, location)

    def test_install_cut_off_at_any_point_is_finished_or_removed_by_the_next_run(self):
        moved, first, second = self.tools / "Quenwick", self.tools / "A", self.tools / "B"

        def given(folder):
            return [f"/D={session.windows_path(folder)}"]

        for scenario, arrange, stopped, stops, agains, target in [
            ("first install", None, self.folder, STOPS, [given(self.folder), []], self.folder),
            ("upgrade", lambda: self.older_installed(RECORD), self.folder, STOPS,
             [given(self.folder), []], self.folder),
            ("move", self.installed_with_record, moved, STOPS, [given(moved), []], moved),
            # Sent to another folder instead, it ends there, and leaves nothing in the first.
            ("first install", None, first, ["marked", "probing", "written"], [given(second)],
             second),
        ]:
            for stop in stops:
                # After each stop, the setup program again, or (None) the documented uninstall.
                for again in [*agains, None]:
                    with self.subTest(scenario, stop=stop, again=again), self.arranged(arrange):
                        self.assertEqual(session.run(STOPPING_SETUP, "/S", *given(stopped),
                                                     env={"QUENWICK_SETUP_STOP": stop}), 99,
                                         "stopped there")
                        self.assert_detection_tells_the_truth(stopped)
                        if again is None:
                            self.assertEqual(session.run(UNINSTALL_SCRIPT), 0)
                            self.assert_nothing_left(self.folder, stopped)
                            continue
                        self.install(*again)
                        self.assert_whole_install(target, RECORD if arrange else None)
                        for left in {self.folder, stopped} - {target}:
                            self.assertFalse(left.exists(), "an orphaned copy")

    def installed_with_record(self, folder=None):
        self.install(*([f"/D={session.windows_path(folder)}"] if folder else []))
        ((folder or self.folder) / "data.dat").write_bytes(RECORD)

    def move_cut_off_with_empty_record(self):
        """A move to Tools that an older setup program began and was cut off in, having made an
        empty data.dat there: its mark, and the record in the folder that it was leaving."""
        self.installed_with_record()
        (self.tools / "Quenwick").mkdir(parents=True)
        (self.tools / "Quenwick/data.dat").write_bytes(b"")
        for name, value in [("MovingTo", self.tools / "Quenwick"), ("MovingFrom", self.folder)]:
            session.reg("add", UNINSTALL_KEY, "/v", name, "/d", session.windows_path(value), "/f")

    def uninstalled_in_place(self):
        self.install()
        self.uninstall_in_place(self.folder)

    def older_installed(self, record=None):
        """An install that looks like version 0.9.0's, with record as its data.dat if given."""
        self.install()
        (self.folder / "quenwick.exe").write_bytes(program_of_version("0.9.0"))
        session.reg("add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "0.9.0", "/f")
        if record:
            (self.folder / "data.dat").write_bytes(record)

    def newer_entry_without_program(self):
        self.installed_with_record()
        session.reg("add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "9.0.0", "/f")
        (self.folder / "quenwick.exe").unlink()

    def test_second_setup_while_one_runs_changes_nothing(self):
        self.install()
        before = self.state()
        first = session.start(SETUP)  # its folder page waits for the user
        self.addCleanup(session.wineserver, "-k")
        self.assertIsNotNone(session.box(caption="Quenwick Setup "))  # its caption ends in a space
        self.assertEqual(session.run(SETUP, "/S"), 1618)
        self.assertEqual(session.run(self.folder / "uninstall.exe", "/S",
                                     f"_?={session.windows_path(self.folder)}"), 1618)
        self.assertEqual(self.state(), before)
        first.kill()
        # Wine has one logon session, so a setup program in another session of the same user
        # cannot be started here: that it is refused too rests on the mutex's name, which is global
        # and holds the user's SID, and is pinned here.
        checks = (Path(__file__).parents[2] / "packaging/install_checks.nsh").read_text()
        self.assertIn('!define SETUP_MUTEX "Global\\Quenwick.Setup."', checks)
        self.assertIn('w "${SETUP_MUTEX}$0"', checks)

    def test_leftover_uninstaller_removes_nothing_that_is_not_its_own(self):
        portable = self.tools / "Portable"
        for name, arrange, leftover in [
            ("shortcut to a portable copy", self.portable_copy_started_at_logon, self.folder),
            ("entry of the install that is there", self.uninstaller_copied_to_portable, portable),
        ]:
            with self.subTest(name), self.arranged(arrange):
                before = self.state()
                self.uninstall_in_place(leftover)
                self.assertEqual(self.state()[0], before[0], "the entry")
                self.assertEqual(self.shortcut.read_bytes(), before[1][self.shortcut])

    def portable_copy_started_at_logon(self):
        """A portable copy in Tools that the user starts at logon (its shortcut, and no entry), and
        an uninstaller left behind by an uninstall in place."""
        self.install(f"/D={session.windows_path(self.tools / 'Portable')}")
        session.reg("delete", UNINSTALL_KEY, "/f")
        shortcut = self.shortcut.read_bytes()
        self.uninstalled_in_place()
        self.shortcut.write_bytes(shortcut)

    def uninstaller_copied_to_portable(self):
        self.install()
        portable = self.tools / "Portable"
        portable.mkdir(parents=True)
        shutil.copy(self.folder / "uninstall.exe", portable)

    def uninstall_in_place(self, folder):
        in_place = f"_?={session.windows_path(folder)}"
        self.assertEqual(session.run(folder / "uninstall.exe", "/S", in_place), 0)

    def test_uninstall_removes_what_it_installed_and_nothing_of_the_users(self):
        for name, own_files in [("nothing of the user's", []),
                                ("files of the user's", ["data.dat.backup.tmp", "notes.txt"])]:
            with self.subTest(name):
                self.install()
                for file in ["data.dat", "data.dat.4242.tmp", *own_files]:
                    (self.folder / file).write_bytes(b"-1\r\n")
                self.uninstall(self.folder)
                self.assertFalse(self.shortcut.exists())
                if own_files:
                    self.assertEqual(sorted(p.name for p in self.folder.iterdir()), own_files)
                    shutil.rmtree(self.folder)
                else:
                    self.assertFalse(self.folder.parent.exists(), "Programs, which it made")

    def test_any_path_works_from_a_quiet_first_logon_to_the_uninstall(self):
        # cmd, which the uninstall script runs in, parses such a path; the setup program and the
        # uninstaller take it as it comes.
        special = session.drive_c / EVERY_CHARACTER
        release = session.drive_c / EVERY_CHARACTER.replace("%", "")
        release.mkdir()
        self.addCleanup(shutil.rmtree, release)
        self.addCleanup(shutil.rmtree, special, ignore_errors=True)
        for program in [SETUP, UNINSTALL_SCRIPT]:
            shutil.copy(program, release)
        for name, local_app_data, given in [
            ("a folder with every character", None, special / "Quenwick"),
            ("%LOCALAPPDATA% with every character", special / "AppData/Local", None),
        ]:
            with self.subTest(name), self.arranged(lambda: self.local_app_data_in(local_app_data)):
                folder = given or local_app_data / "Programs/Quenwick"
                location = [f"/D={session.windows_path(given)}"] if given else []
                self.install("/QuietFirstLogon", *location)
                self.assert_whole_install(folder, QUIET_RECORD)
                # A box would keep the check from ending.
                self.assertEqual(session.run(folder / "quenwick.exe", timeout=60), 0)
                sizes = (folder / "data.dat").read_bytes()
                self.assertNotEqual(sizes, QUIET_RECORD, "the sizes as they are now")
                self.install("/QuietFirstLogon", *location)
                self.assertEqual((folder / "data.dat").read_bytes(), sizes, "a record is kept")

                self.uninstall_in_place(folder)
                self.install(*location)
                self.assert_whole_install(folder, None)
                self.assertEqual(session.run(release / UNINSTALL_SCRIPT.name), 0)
                self.assert_nothing_left(folder)

    def local_app_data_in(self, folder):
        """%LOCALAPPDATA% in folder, if given, until what this gives is called."""
        if not folder:
            return None
        folder.mkdir(parents=True)
        session.reg("add", LOCAL_APP_DATA, "/v", "Local AppData", "/t", "REG_EXPAND_SZ", "/d",
                    session.windows_path(folder), "/f")
        return lambda: session.reg("add", LOCAL_APP_DATA, "/v", "Local AppData", "/t",
                                   "REG_EXPAND_SZ", "/d", r"%USERPROFILE%\AppData\Local", "/f")

    def test_uninstall_script_removes_quenwick_from_any_folder_and_says_what_happened(self):
        moved = self.tools / "Quenwick"
        for name, arrange, code in [
            ("install elsewhere, with a file of the user's", self.users_file_in_tools, 0),
            ("nothing installed", None, 0),
            ("program running", self.running, 1618),
        ]:
            with self.subTest(name), self.arranged(arrange):
                before = self.state()
                self.assertEqual(session.run(UNINSTALL_SCRIPT), code)
                if arrange == self.users_file_in_tools:
                    self.assertIsNone(self.registry())
                    self.assertFalse(self.shortcut.exists())
                    self.assertEqual([path.name for path in moved.iterdir()], ["notes.txt"])
                else:
                    self.assertEqual(self.state(), before)

    def users_file_in_tools(self):
        self.install(f"/D={session.windows_path(self.tools / 'Quenwick')}")
        (self.tools / "Quenwick/notes.txt").write_bytes(b"the user's own notes")

    def test_refusal_changes_nothing_and_says_why_in_its_exit_code(self):
        # Wine cannot run a program as SYSTEM, nor elevated as another account: what the setup
        # program checks is that the account's profile is not in the Windows folder, where every
        # system account's is, and the profile folder of SYSTEM stands in for it below.
        system_profile = r"C:\windows\system32\config\systemprofile\AppData\Local\Programs\Quenwick"
        uninstaller = self.folder / "uninstall.exe"
        in_place = f"_?={session.windows_path(self.folder)}"  # for the uninstaller's own code
        tools = f"/D={session.windows_path(self.tools / 'Quenwick')}"
        for name, arrange, program, arguments, code in [
            ("folder with another program's files", self.foreign_files, SETUP, [r"/D=C:\Tools"],
             145),
            ("folder that cannot be made", None, SETUP, [r"/D=Z:\proc\Quenwick"], 82),
            ("folder one character too long", None, SETUP, ["/D=C:\\" + "q" * 233], 206),
            ("folder of a system account", None, SETUP, [f"/D={system_profile}"], 10),
            ("older version", self.newer_installed, SETUP, [], 1638),
            ("older version than the chosen folder's", self.newer_program_in_tools, SETUP, [tools],
             1638),
            ("upgrade while running", lambda: self.running(self.older_installed), SETUP, [],
             1618),
            ("the same version again, while running", self.running, SETUP, [], 0),
            ("move while running", self.running, SETUP, [tools], 1618),
            ("uninstall while running", self.running, uninstaller, [in_place], 1618),
            ("install whose shortcut fails", lambda: self.blocked_shortcut(None), SETUP, [], 1603),
            ("upgrade whose shortcut fails", lambda: self.blocked_shortcut(self.install), SETUP, [],
             1603),
            ("move whose shortcut fails", lambda: self.blocked_shortcut(self.installed_with_record),
             SETUP, [tools], 1603),
        ]:
            with self.subTest(name), self.arranged(arrange):
                before = self.state()
                self.assertEqual(session.run(program, "/S", *arguments), code)
                self.assertEqual(self.state(), before)

    def foreign_files(self):
        self.tools.mkdir()
        (self.tools / "uninstall.exe").write_bytes(b"another program's uninstaller")
        (self.tools / "data.dat").write_bytes(b"the user's own data")

    def newer_installed(self):
        self.install()
        session.reg("add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "9.0.0", "/f")

    def newer_program_in_tools(self):
        """Version 9.0.0 of the program in a folder of its own, with no entry."""
        (self.tools / "Quenwick").mkdir(parents=True)
        (self.tools / "Quenwick/quenwick.exe").write_bytes(program_of_version("9.0.0"))

    def blocked_shortcut(self, arrange):
        """A folder where the Startup shortcut goes, after arrange if any; gives what takes it
        away."""
        if arrange:
            arrange()
            self.shortcut.unlink()
        self.shortcut.mkdir(parents=True)
        return self.shortcut.rmdir

    def running(self, arrange=None):
        """An install, after arrange if given, whose first check waits for its notice to be
        answered; gives what answers it."""
        (arrange or self.install)()
        quenwick = session.start(self.folder / "quenwick.exe")
        self.assertEqual(session.box()["text"], NOTICE)
        return lambda: (session.box(OK), quenwick.wait(30))


if __name__ == "__main__":
    unittest.main()
