"""What the CI workflow checks on a real Windows, and scripts/test under Wine: the first and the
unchanged run of the built quenwick.exe, and silent installs and uninstalls of the release, as a
deployment tool makes them, among them what only Windows can show: that the uninstaller's copy in
%TEMP% goes though it ran itself, and that a junction survives. Either part may be left out, so
that the release is checked on Windows even when the build there failed.

Usage: windows_smoke.py [--programs FOLDER] [--dist FOLDER]
  --programs  the folder of the built quenwick.exe and the helpers that play the user
  --dist      the release's folder, with the setup program and uninstall-quenwick.cmd"""

import argparse
import os
import shutil
import stat
import subprocess
import sys
import time
import unittest
from pathlib import Path

from facts import UNINSTALL_KEY
from wine_session import ON_WINDOWS, WineSession

PROGRAMS = {"QUENWICK_EXE": "quenwick.exe", "BOX_DRIVER": "box_driver.exe",
            "FILE_HOLDER": "file_holder.exe", "PLANTED_DLL": "planted_dll.dll"}
RUNS = ["test_first_run_shows_the_notice_and_records_the_sizes",
        "test_unchanged_second_run_shows_no_box"]


class ReleaseSmokeTest(unittest.TestCase):
    dist = None

    @classmethod
    def setUpClass(cls):
        cls.session = WineSession()
        cls.setup, = cls.dist.glob("Quenwick-*-setup.exe")
        cls.folder = cls.session.local_app_data / "Programs/Quenwick"
        cls.shortcut = cls.session.startup / "Quenwick.lnk"

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def tearDown(self):
        # Each test starts with nothing installed.
        if (self.folder / "quenwick.exe").exists():
            self.session.run(self.dist / "uninstall-quenwick.cmd")

    def install(self):
        self.assertEqual(self.session.run(self.setup, "/S"), 0)
        self.assertTrue((self.folder / "quenwick.exe").is_file())
        self.assertTrue(self.shortcut.is_file())

    def assert_removed(self):
        self.assertFalse((self.folder / "quenwick.exe").exists())
        self.assertFalse(self.shortcut.exists())
        self.assertIsNone(self.session.registry_values(UNINSTALL_KEY))

    def test_silent_install_and_the_uninstall_script(self):
        self.install()
        location = self.session.registry_values(UNINSTALL_KEY)["InstallLocation"]
        self.assertTrue(self.session.local_path(location).samefile(self.folder), location)
        self.assertEqual(self.session.run(self.dist / "uninstall-quenwick.cmd"), 0)
        self.assert_removed()

    def test_the_uninstall_script_started_by_its_quoted_name_in_its_own_folder(self):
        # As a deployment tool starts it in its content folder: cmd then resolves the script's own
        # folder against the current folder of the moment, which the script changes. Wine's cmd
        # keeps it, so only Windows shows this.
        self.install()
        code = self.session.run_command_line('cmd /c "uninstall-quenwick.cmd"',
                                             folder=self.session.windows_path(self.dist))
        self.assertEqual(code, 0)
        self.assert_removed()

    def test_the_quiet_uninstall_of_a_read_only_install_leaves_nothing_in_a_while(self):
        # Windows deletes the uninstaller's copy in %TEMP% only once no process runs it; Wine
        # deletes it as its last handle closes, whoever closes it.
        self.install()
        (self.folder / "data.dat").write_bytes(b"-1\r\n" * 4)
        for name in ["quenwick.exe", "uninstall.exe", "data.dat"]:
            os.chmod(self.folder / name, stat.S_IREAD)
        quiet = self.session.registry_values(UNINSTALL_KEY)["QuietUninstallString"]
        self.assertEqual(self.session.run_command_line(quiet, timeout=60), 0)
        self.assert_removed()
        time.sleep(10)
        self.assertFalse(self.folder.exists())
        self.assertEqual(sorted(self.session.temp.glob("Quenwick-uninstall-*")), [])

    @unittest.skipUnless(ON_WINDOWS, "Wine has no junctions: its cmd has no mklink, and its "
                         "RemoveDirectoryW never meets one")
    def test_a_programs_folder_that_is_a_junction_survives_the_uninstall(self):
        programs = self.folder.parent
        aside = programs.with_name("Programs.quenwick-smoke")
        target = Path(os.environ["SystemDrive"] + "\\QuenwickSmokeTarget")
        if programs.exists():
            programs.rename(aside)
            self.addCleanup(aside.rename, programs)
        target.mkdir()
        (target / "other.txt").write_bytes(b"another program's")
        self.addCleanup(shutil.rmtree, target)
        subprocess.run(["cmd", "/c", "mklink", "/J", str(programs), str(target)], check=True,
                       capture_output=True)
        self.addCleanup(os.rmdir, programs)
        self.install()
        quiet = self.session.registry_values(UNINSTALL_KEY)["QuietUninstallString"]
        self.assertEqual(self.session.run_command_line(quiet, timeout=60), 0)
        time.sleep(10)
        self.assertTrue(os.lstat(programs).st_file_attributes & stat.FILE_ATTRIBUTE_REPARSE_POINT)
        self.assertEqual(sorted(path.name for path in target.iterdir()), ["other.txt"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--programs", type=Path)
    parser.add_argument("--dist", type=Path)
    arguments = parser.parse_args()
    suite, needed = unittest.TestSuite(), []
    if arguments.programs:
        paths = {variable: arguments.programs.absolute() / name for variable, name in
                 PROGRAMS.items()}
        needed += paths.values()
        os.environ.update({variable: str(path) for variable, path in paths.items()})
        import wine_test  # which reads the programs' paths as it is loaded
        suite.addTests(wine_test.WineEndToEndTest(name) for name in RUNS)
    if arguments.dist:
        dist = ReleaseSmokeTest.dist = arguments.dist.absolute()
        needed += [next(dist.glob("Quenwick-*-setup.exe"), dist / "Quenwick-*-setup.exe"),
                   dist / "uninstall-quenwick.cmd"]
        suite.addTests(unittest.defaultTestLoader.loadTestsFromTestCase(ReleaseSmokeTest))
    if not needed:
        parser.error("give --programs, --dist or both")
    absent = [str(path) for path in needed if not path.is_file()]
    if absent:
        sys.exit("windows_smoke: missing " + ", ".join(absent))
    sys.exit(not unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful())


if __name__ == "__main__":
    main()
