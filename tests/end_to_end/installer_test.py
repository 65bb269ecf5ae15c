"""The setup program under Wine, as a Windows user and an admin meet it: a silent per-user install,
the first check at the next logon, an upgrade, a move to another folder, the uninstaller, and every
refusal, in a fresh prefix on a virtual display."""

import concurrent.futures
import contextlib
import os
import shutil
import struct
import subprocess
import time
import unittest
from pathlib import Path

from facts import EXIT, NOTICE, OK, UNINSTALL_KEY, YES
from wine_session import WINE, WineSession

SETUP = Path(os.environ["QUENWICK_SETUP"])
QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
# The same setup program, ending dead where QUENWICK_SETUP_STOP says, as a crash would.
STOPPING_SETUP = Path(os.environ["QUENWICK_STOPPING_SETUP"])
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
STARTUP_APPROVED = (r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved"
                    r"\StartupFolder")
FILE_HOLDER = Path(os.environ["FILE_HOLDER"])
PLANTED_DLL = Path(os.environ["PLANTED_DLL"])

session = None


def setUpModule():
    global session, STOPS
    session = WineSession(os.environ["BOX_DRIVER"])
    STOPS = stop_points()


def stop_points():
    """The stop points of the setup program, as the stopping one lists them."""
    listed = session.drive_c / "stop-points.txt"
    session.run(STOPPING_SETUP, env={"QUENWICK_SETUP_STOPS_FILE": session.windows_path(listed)})
    stops = listed.read_text().split()
    listed.unlink()
    return stops


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
                session.run(folder / "uninstall.exe", "/S")
        for folder in [self.folder, self.tools]:
            shutil.rmtree(folder, ignore_errors=True)
        session.reg("delete", UNINSTALL_KEY, "/f", check=False)
        self.shortcut.unlink(missing_ok=True)
        # No run leaves a file in %TEMP%: the uninstaller's copy goes as it ends.
        users = session.drive_c / "users"
        self.assertTrue(self.eventually(lambda: not any(users.rglob("Quenwick-uninstall-*"))))

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
        """Runs the uninstaller as a tool runs it: done when it returns, and a few seconds later,
        once its copy in %TEMP% has deleted it, nothing of Quenwick's is left."""
        self.uninstall_in_place(folder)
        self.assert_removed_at_once(folder)

    def uninstall_in_place(self, folder):
        self.assertEqual(session.run(folder / "uninstall.exe", "/S"), 0)
        self.assertTrue(self.eventually(lambda: not (folder / "uninstall.exe").exists()))

    def assert_removed_at_once(self, folder):
        """What the uninstall has removed by the moment it returns: the entry, the shortcut and the
        program in folder."""
        self.assertIsNone(self.registry(), "the uninstaller left its registry entry")
        self.assertFalse(self.shortcut.exists())
        self.assertFalse((folder / "quenwick.exe").exists())

    @staticmethod
    def eventually(condition):
        for _ in range(100):
            if condition():
                return True
            time.sleep(0.1)
        return condition()

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
            ("read-only program, uninstaller and record", self.read_only_install, self.folder,
             RECORD),
            ("upgrade while a scanner holds the program", lambda: self.scanned("quenwick.exe"),
             self.folder, RECORD),
            ("upgrade while a scanner holds the uninstaller", lambda: self.scanned("uninstall.exe"),
             self.folder, RECORD),
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

    # An install cut off is finished or removed by the next run: one test for each kind of install,
    # so that they run side by side. setup_transaction_test.cpp cuts each kind off at every call and
    # every stop point, with the power lost or not; here the real program is killed where a kill
    # leaves real files: with the new files written beside the old, and with the program in place
    # but not yet registered; an upgrade with the uninstaller swapped in, and a move with the left
    # folder's program set aside.
    def test_first_install_cut_off_is_finished_or_removed(self):
        self.assert_cut_off_is_finished_or_removed(None, self.folder,
                                                   ["WriteNewFiles", "SwapInProgram"],
                                                   [self.given(self.folder), []])

    def test_upgrade_cut_off_is_finished_or_removed(self):
        self.assert_cut_off_is_finished_or_removed(
            lambda: self.older_installed(RECORD), self.folder, ["SwapInFiles"],
            [self.given(self.folder), []])

    def test_move_cut_off_is_finished_or_removed(self):
        moved = self.tools / "Quenwick"
        self.assert_cut_off_is_finished_or_removed(
            self.installed_with_record, moved, ["SetAsideLeftPrograms"], [self.given(moved), []])

    def test_first_install_cut_off_and_sent_elsewhere_ends_there(self):
        # It leaves nothing in the first folder.
        first, second = self.tools / "A", self.tools / "B"
        self.assert_cut_off_is_finished_or_removed(None, first, ["WriteNewFiles"],
                                                   [self.given(second)], second)

    def given(self, folder):
        return [f"/D={session.windows_path(folder)}"]

    def assert_cut_off_is_finished_or_removed(self, arrange, stopped, stops, agains, target=None):
        """After arrange, an install into stopped cut off at each of stops is finished by each run
        of agains (their arguments) in target (stopped unless given), or removed by the documented
        uninstall; and until then no detection says "installed"."""
        target = target or stopped
        self.assertLessEqual(set(stops), set(STOPS))
        for stop in stops:
            for again in [*agains, None]:
                with self.subTest(stop=stop, again=again), self.arranged(arrange):
                    self.assertEqual(session.run(STOPPING_SETUP, "/S", *self.given(stopped),
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

    def scanned(self, name, milliseconds=4000):
        """An older version installed, with its file name held open as a scanner holds a new file,
        for milliseconds or (None) until what this gives lets it go."""
        self.older_installed(RECORD)
        holder = session.hold(FILE_HOLDER, session.windows_path(self.folder / name), "scan",
                              milliseconds)
        return lambda: (holder.stdin.close(), holder.wait(30))

    def installed_with_record(self, folder=None):
        self.install(*([f"/D={session.windows_path(folder)}"] if folder else []))
        ((folder or self.folder) / "data.dat").write_bytes(RECORD)

    def read_only_install(self):
        self.older_installed(RECORD)
        for name in ["quenwick.exe", "uninstall.exe", "data.dat"]:
            (self.folder / name).chmod(0o444)

    def older_installed(self, record=None):
        """An install that looks like version 0.9.0's, with record as its data.dat if given."""
        self.install()
        (self.folder / "quenwick.exe").write_bytes(program_of_version("0.9.0"))
        session.reg("add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "0.9.0", "/f")
        if record:
            (self.folder / "data.dat").write_bytes(record)

    def test_second_setup_while_one_runs_changes_nothing(self):
        self.install()
        before = self.state()
        first = session.start(SETUP)  # its folder page waits for the user
        self.addCleanup(session.wineserver, "-k")
        self.assertIsNotNone(session.box(caption="Quenwick Setup"))
        self.assertEqual(session.run(SETUP, "/S"), EXIT["RUNNING"])
        self.assertEqual(session.run(self.folder / "uninstall.exe", "/S"), EXIT["RUNNING"])
        # Wine has one logon session and one user, so a setup program in another session of the
        # same user, or another user's, cannot be started here: that it is refused too, and that no
        # other program can take the lock or turn it off, rests on the lock being a file in the
        # user's own %LOCALAPPDATA% that its holder shares with no one, as any other program finds.
        lock = session.local_app_data / "Quenwick.Setup.lock"
        self.assertTrue(lock.exists())
        for sharing in ["none", "read", "scan"]:
            with self.subTest(sharing), self.assertRaises(RuntimeError):
                session.hold(FILE_HOLDER, session.windows_path(lock), sharing)
        session.run_command_line(f'cmd /c del /f "{session.windows_path(lock)}"')
        self.assertTrue(lock.exists())
        self.assertEqual(self.state(), before)
        first.kill()

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
        an uninstaller left behind elsewhere, as an older uninstall in place left it."""
        self.install(f"/D={session.windows_path(self.tools / 'Portable')}")
        session.reg("delete", UNINSTALL_KEY, "/f")
        self.folder.mkdir(parents=True)
        shutil.copy(self.tools / "Portable/uninstall.exe", self.folder)

    def uninstaller_copied_to_portable(self):
        self.install()
        portable = self.tools / "Portable"
        portable.mkdir(parents=True)
        shutil.copy(self.folder / "uninstall.exe", portable)

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

    def test_any_current_folder_does_as_well_as_another(self):
        # Deployment tools start the setup program in folders of their own: cmd falls back to the
        # Windows folder for a logon script on a share, and Intune runs it in its cache there.
        cache = session.drive_c / "windows/IMECache/0b7e3c52-96a1-4d0e-8f3b-2c5d9e1a7f64_1"
        cache.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, cache.parent)
        for program in [SETUP, UNINSTALL_SCRIPT]:
            shutil.copy(program, cache)
        for name, arrange, folder, programs in [
            ("the Windows folder", None, session.drive_c / "windows", SETUP.parent),
            ("System32", None, session.drive_c / "windows/system32", SETUP.parent),
            ("a cache in the Windows folder", None, cache, cache),
            ("the install's own folder", lambda: self.older_installed(RECORD), self.folder,
             SETUP.parent),
        ]:
            with self.subTest(name), self.arranged(arrange):
                current = session.windows_path(folder)
                self.assertEqual(session.run(programs / SETUP.name, "/S", folder=current), 0)
                self.assert_whole_install(self.folder, RECORD if arrange else None)
                self.assertEqual(session.run(programs / UNINSTALL_SCRIPT.name, folder=current), 0)
                if folder == self.folder:
                    # Under Wine, the folder that a console program was started in stays in use
                    # while it runs, even once it has changed folder, as the script does: so the
                    # folder stays, empty. The /Uninstall below, in a window program, goes.
                    self.assertEqual(list(folder.iterdir()), [])
                    folder.rmdir()
                self.assert_nothing_left(self.folder)
                if arrange:
                    # The setup program's /Uninstall, which the script runs, in the folder itself.
                    self.older_installed(RECORD)
                    self.assertEqual(session.run(SETUP, "/S", "/Uninstall", folder=current), 0)
                    self.assert_nothing_left(self.folder)

    def test_startup_choice_is_kept_until_the_uninstall(self):
        # What Settings' Startup apps page writes when the user turns Quenwick off. Wine starts
        # the Startup folder's shortcuts whatever it says, so only the value itself is checked.
        turned_off = bytes.fromhex("03000000" + "5a" * 8)
        for name, arrange in [("upgrade", self.older_installed), ("repair", self.uninstaller_lost)]:
            with self.subTest(name), self.arranged(arrange):
                session.reg("add", STARTUP_APPROVED, "/v", "Quenwick.lnk", "/t", "REG_BINARY",
                            "/d", turned_off.hex(), "/f")
                self.install()
                self.assert_whole_install(self.folder, None)
                self.assertEqual(session.registry_values(STARTUP_APPROVED)["Quenwick.lnk"],
                                 turned_off)
                self.assertEqual(session.run(UNINSTALL_SCRIPT), 0)
                self.assertNotIn("Quenwick.lnk", session.registry_values(STARTUP_APPROVED) or {})

    def uninstaller_lost(self):
        self.install()
        (self.folder / "uninstall.exe").unlink()

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
        script, registered = f'"{session.windows_path(UNINSTALL_SCRIPT)}"', None
        # The registered quiet uninstall runs in place, as tools that trust it need, and so leaves
        # its uninstall.exe, which the setup program takes for its own.
        for name, arrange, command_line, code, left in [
            ("install elsewhere, with a file of the user's", self.users_file_in_tools, script, 0,
             ["notes.txt"]),
            ("nothing installed", None, script, 0, None),
            ("program running", self.running, script, EXIT["RUNNING"], None),
            ("registered, install elsewhere, with a file of the user's", self.users_file_in_tools,
             registered, 0, ["notes.txt"]),
            ("registered, program running", self.running, registered, EXIT["RUNNING"], None),
        ]:
            with self.subTest(name), self.arranged(arrange):
                before = self.state()
                command_line = command_line or self.registry()["QuietUninstallString"]
                self.assertEqual(session.run_command_line(command_line), code)
                if left:
                    self.assertIsNone(self.registry())
                    self.assertFalse(self.shortcut.exists())
                    self.assertTrue(self.eventually(
                        lambda: sorted(path.name for path in moved.iterdir()) == left))
                else:
                    self.assertEqual(self.state(), before)

    def test_each_uninstall_string_is_done_when_it_returns_and_leaves_nothing(self):
        # As tools and scripts run them, with a %TEMP% that cmd and a command line could take for
        # something else, for the uninstaller's copy of itself, holding a copy that an uninstaller
        # which has ended left behind; and the setup program started with no console and no
        # standard handles, as a service's child is. Wine deletes the copy as its last handle
        # closes, whoever closes it, where Windows waits for the copy to end: windows_smoke.py shows
        # that on Windows.
        temp = session.drive_c / "R&D temp"
        temp.mkdir()
        self.addCleanup(shutil.rmtree, temp)
        self.temp_in(temp)
        uninstaller = f'"{session.windows_path(self.folder / "uninstall.exe")}"'
        quiet = f"{uninstaller} /S"
        for name, arrange, command_line, answers, left in [
            ("UninstallString, as Apps & features runs it", None, None, [YES, OK], []),
            ("QuietUninstallString, as winget runs it", None, quiet, [], []),
            ("the setup program's /Uninstall", None,
             f'"{session.windows_path(SETUP)}" /S /Uninstall', [], []),
            ("a read-only uninstaller", self.read_only_uninstaller, quiet, [], []),
            ("a scanner holding data.dat for 3 s", lambda: self.scanned_record(3000), quiet, [],
             []),
            # Without a copy the uninstall runs in place: it cannot delete its own file, which the
            # next setup program takes for its own.
            ("no %TEMP%", lambda: self.temp_in(session.drive_c / "no/such", temp), quiet, [],
             ["uninstall.exe"]),
        ]:
            with self.subTest(name), self.arranged(None):
                started = session.start(SETUP, "/S", stdin=subprocess.DEVNULL)
                self.assertEqual(started.wait(120), 0)
                (self.folder / "data.dat").write_bytes(RECORD)
                stale = temp / "Quenwick-uninstall-4294967292.exe"
                stale.write_bytes(SETUP.read_bytes())
                stale.chmod(0o444)
                finish = arrange() if arrange else None
                command_line = command_line or self.registry()["UninstallString"]
                with concurrent.futures.ThreadPoolExecutor() as pool:
                    code = pool.submit(session.run_command_line, command_line, timeout=60)
                    for answer in answers:
                        self.assertIsNotNone(session.box(answer, "Quenwick Uninstall"))
                    self.assertEqual(code.result(), 0)
                self.assert_removed_at_once(self.folder)
                self.assertFalse((self.folder / "data.dat").exists())
                if finish:
                    finish()
                if left:
                    self.assertTrue(self.eventually(
                        lambda: sorted(path.name for path in self.folder.iterdir()) == left))
                    self.install()
                    self.assert_whole_install(self.folder, None)
                else:
                    self.assertTrue(self.eventually(lambda: not self.folder.parent.exists()))
                self.assertTrue(self.eventually(lambda: not any(temp.iterdir())),
                                list(temp.iterdir()))

    def test_install_started_the_moment_an_uninstall_returns_gives_0(self):
        # As `winget uninstall` and then `winget install` do: the uninstall has let go of its lock
        # when it returns, and the uninstaller that goes a moment later is not the new one.
        self.install()
        quiet = self.registry()["QuietUninstallString"]
        for time_over in range(3):
            with self.subTest(time_over):
                self.assertEqual(session.run_command_line(quiet), 0)
                self.install()
                self.assert_whole_install(self.folder, None)
        self.assertTrue(self.eventually(
            lambda: (self.folder / "uninstall.exe").is_file() and self.is_whole(self.folder)))

    def temp_in(self, folder, then=None):
        """%TEMP% and %TMP% in folder for the programs started from here on; gives what puts them
        in then, if given."""
        environment = r"HKCU\Environment"
        for name in ["TEMP", "TMP"]:
            session.reg("add", environment, "/v", name, "/d", session.windows_path(folder), "/f")
            if not then:
                self.addCleanup(session.reg, "delete", environment, "/v", name, "/f", check=False)
        return (lambda: self.temp_in(then)) if then else None

    def read_only_uninstaller(self):
        (self.folder / "uninstall.exe").chmod(0o444)

    def scanned_record(self, milliseconds):
        holder = session.hold(FILE_HOLDER, session.windows_path(self.folder / "data.dat"), "scan",
                              milliseconds)
        return lambda: holder.wait(30)

    def test_log_says_how_a_silent_run_ended_and_where(self):
        # As winget passes its own log's path, quoted, with spaces in it.
        logs = session.drive_c / "R&D logs"
        logs.mkdir()
        self.addCleanup(shutil.rmtree, logs)
        log = logs / "setup.log"
        under_a_file = self.tools / "notes.txt/Quenwick"
        logged = f'/Log="{session.windows_path(log)}"'
        for name, arrange, program, arguments, said, code in [
            ("a whole install", None, SETUP, ["/S", logged],
             f"Folder: {session.windows_path(self.folder)}", 0),
            ("a folder under a file", self.file_in_tools, SETUP,
             ["/S", logged, f"/D={session.windows_path(under_a_file)}"],
             f"Folder: {session.windows_path(under_a_file)}", EXIT["FOLDER_NOT_WRITABLE"]),
            ("the uninstall script", self.install, UNINSTALL_SCRIPT, [logged],
             f"Removing {session.windows_path(self.folder)}", 0),
        ]:
            with self.subTest(name), self.arranged(arrange):
                self.assertEqual(session.run(program, *arguments), code)
                lines = log.read_text(encoding="utf-8").splitlines()
                self.assertIn(said, "\n".join(lines))
                self.assertRegex(lines[-1], rf"^\d{{4}}-\d\d-\d\d [\d:.]+ Exit code {code}\b")

    def file_in_tools(self):
        self.tools.mkdir()
        (self.tools / "notes.txt").write_bytes(b"the user's own notes")

    def test_dll_planted_beside_the_setup_program_in_downloads_never_loads(self):
        # Wine takes its own builtin DLLs before any file of the same name; the overrides make it
        # take a native one first, as Windows does for a DLL that is not a known one.
        downloads = session.drive_c / "users" / session.local_app_data.parts[-3] / "Downloads"
        downloads.mkdir(parents=True, exist_ok=True)
        shutil.copy(SETUP, downloads)
        planted = ["version", "uxtheme", "dwmapi", "cryptbase", "propsys", "profapi"]
        for name in planted:
            shutil.copy(PLANTED_DLL, downloads / f"{name}.dll")
        overrides = session.env["WINEDLLOVERRIDES"] + ";" + ",".join(planted) + "=n,b"
        self.assertEqual(session.run(downloads / SETUP.name, "/S",
                                     env={"WINEDLLOVERRIDES": overrides}), 0)
        self.assert_whole_install(self.folder, None)
        self.assertEqual(sorted(downloads.glob("*.loaded")), [])

    def users_file_in_tools(self):
        self.install(f"/D={session.windows_path(self.tools / 'Quenwick')}")
        (self.tools / "Quenwick/notes.txt").write_bytes(b"the user's own notes")

    # A refusal or a failure changes nothing, and says why in its exit code: where the real program
    # meets what only Windows, or Wine, can give it (a file's version information, a process that
    # runs, another program's hold, a folder in a file's place); the unit tests refuse every other
    # way. Two tests, so that they run side by side.
    def test_refusal_of_a_folder_changes_nothing_and_says_why_in_its_exit_code(self):
        tools = f"/D={session.windows_path(self.tools / 'Quenwick')}"
        self.assert_refused_changing_nothing([
            ("folder with only another program's uninstaller", self.foreign_uninstaller, SETUP,
             [r"/D=C:\Tools"], EXIT["FOLDER_NOT_EMPTY"]),
            ("a portable quenwick.exe, another program's uninstaller and a file of the user's",
             self.portable_among_others, SETUP, [r"/D=C:\Tools"], EXIT["FOLDER_NOT_EMPTY"]),
            ("the uninstall, after that", self.portable_among_others, SETUP, ["/Uninstall"], 0),
            ("folder that cannot be made", None, SETUP, [r"/D=Z:\proc\Quenwick"],
             EXIT["FOLDER_NOT_WRITABLE"]),
            ("older version than the chosen folder's", self.newer_program_in_tools, SETUP, [tools],
             EXIT["NEWER_INSTALLED"]),
            ("lock's name taken by a folder", self.lock_taken, SETUP, [], EXIT["FAILED"]),
            ("install whose shortcut fails", lambda: self.blocked_shortcut(None), SETUP, [],
             EXIT["FAILED"]),
            ("move whose shortcut fails", lambda: self.blocked_shortcut(self.installed_with_record),
             SETUP, [tools], EXIT["FAILED"]),
        ])

    def test_refusal_of_a_running_or_held_program_changes_nothing_and_says_why(self):
        uninstaller = self.folder / "uninstall.exe"
        self.assert_refused_changing_nothing([
            ("upgrade while a scanner holds the program past the limit",
             lambda: self.scanned("quenwick.exe", None), SETUP, [], EXIT["FAILED"]),
            ("upgrade while running", lambda: self.running(self.older_installed), SETUP, [],
             EXIT["RUNNING"]),
            ("the same version again, while running", self.running, SETUP, [], 0),
            ("uninstall while running", self.running, uninstaller, [], EXIT["RUNNING"]),
            ("an argument appended to the quiet uninstall", self.install, uninstaller,
             ["/norestart"], EXIT["UNKNOWN_ARGUMENT"]),
        ])

    def assert_refused_changing_nothing(self, rows):
        """Each row's arrangement, if any, then its program run silently with its arguments gives
        its exit code, and changes nothing."""
        for name, arrange, program, arguments, code in rows:
            with self.subTest(name), self.arranged(arrange):
                before = self.state()
                self.assertEqual(session.run(program, "/S", *arguments), code)
                self.assertEqual(self.state(), before)

    def portable_among_others(self):
        self.tools.mkdir()
        shutil.copy(QUENWICK_EXE, self.tools)
        (self.tools / "uninstall.exe").write_bytes(b"another program's uninstaller")
        (self.tools / "notes.txt").write_bytes(b"the user's own notes")

    def foreign_uninstaller(self):
        """In Tools, the uninstall.exe that another program's uninstall in place leaves: here
        Quenwick's own, renamed in its version information."""
        self.install()
        uninstaller = (self.folder / "uninstall.exe").read_bytes()
        self.tearDown()
        self.tools.mkdir()
        (self.tools / "uninstall.exe").write_bytes(
            uninstaller.replace("Quenwick".encode("utf-16-le"), "Quenwack".encode("utf-16-le")))

    def lock_taken(self):
        lock = session.local_app_data / "Quenwick.Setup.lock"
        self.install()
        lock.mkdir()
        return lock.rmdir

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
