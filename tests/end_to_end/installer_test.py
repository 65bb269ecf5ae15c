"""The setup program under Wine, as a Windows user meets it: a silent per-user install, the first
check at the next logon, an upgrade, and the uninstaller, in a fresh prefix on a virtual display."""

import os
import pwd
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from wine_session import WINE, WineSession

SETUP = Path(os.environ["QUENWICK_SETUP"])
NOTICE = "Program został po raz pierwszy uruchomiony, albo ktoś skasował kilka plików :-)"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenwick"
OK = 1

session = None


def setUpModule():
    global session
    session = WineSession(os.environ["BOX_DRIVER"])


def tearDownModule():
    session.close()


def windows_path(path):
    return "C:\\" + str(path.relative_to(session.drive_c)).replace("/", "\\")


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        home = session.drive_c / "users" / pwd.getpwuid(os.getuid()).pw_name
        cls.folder = home / "AppData/Local/Programs/Quenwick"
        cls.shortcut = (home / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp"
                        / "Quenwick.lnk")

    def tearDown(self):
        # Each test starts with nothing installed.
        for folder in [self.folder, session.drive_c / "Tools/Quenwick"]:
            if (folder / "uninstall.exe").exists():
                self.uninstall(folder)
            shutil.rmtree(folder, ignore_errors=True)

    def install(self, *arguments):
        self.assertEqual(session.start(SETUP, "/S", *arguments).wait(120), 0)

    def uninstall(self, folder):
        self.assertEqual(session.start(folder / "uninstall.exe", "/S").wait(60), 0)
        # The uninstaller hands its work to a copy of itself and returns at once; the registry
        # entry is the last thing that the copy removes.
        for _ in range(100):
            if self.registry() is None:
                return
            time.sleep(0.2)
        self.fail("the uninstaller left its registry entry")

    def registry(self):
        """The values of the Apps & features entry by name, or None when there is no entry."""
        query = subprocess.run([WINE, "reg", "query", UNINSTALL_KEY], env=session.env,
                               capture_output=True, text=True, timeout=60)
        if query.returncode != 0:
            return None
        rows = [line.split(maxsplit=2) for line in query.stdout.splitlines() if line[:4] == "    "]
        return {name: int(value, 16) if kind == "REG_DWORD" else value
                for name, kind, value in rows}

    def test_silent_install_puts_everything_in_place_and_the_next_logon_runs_the_check(self):
        self.install()
        self.assertTrue((self.folder / "quenwick.exe").is_file())
        self.assertTrue((self.folder / "uninstall.exe").is_file())
        self.assertTrue(self.shortcut.is_file())
        exe = windows_path(self.folder / "quenwick.exe")
        uninstaller = windows_path(self.folder / "uninstall.exe")
        self.assertEqual(self.registry(), {
            "DisplayName": "Quenwick", "DisplayVersion": SETUP.name.split("-")[1],
            "Publisher": "The Quenwick developers", "DisplayIcon": exe,
            "InstallLocation": windows_path(self.folder),
            "UninstallString": f'"{uninstaller}"', "QuietUninstallString": f'"{uninstaller}" /S',
            "EstimatedSize": -(-(self.folder / "quenwick.exe").stat().st_size // 1024),
            "NoModify": 1, "NoRepair": 1})
        self.assertFalse((self.folder / "data.dat").exists(), "a silent install runs nothing")

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

    def test_upgrade_goes_where_the_install_is_and_keeps_its_baseline(self):
        chosen = session.drive_c / "Tools/Quenwick"
        self.install(f"/D={windows_path(chosen)}")
        baseline = b"-1\r\n-1\r\n734\r\n-1\r\n"
        (chosen / "data.dat").write_bytes(baseline)
        self.install()
        self.assertEqual((chosen / "data.dat").read_bytes(), baseline)
        self.assertFalse(self.folder.exists())

    def test_uninstall_removes_what_it_installed_and_nothing_of_the_users(self):
        for name, own_files in [("nothing of the user's", []),
                                ("a file of the user's", ["notes.txt"])]:
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
                    self.assertFalse(self.folder.exists())


if __name__ == "__main__":
    unittest.main()
