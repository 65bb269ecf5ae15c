"""What the CI workflow checks on a real Windows, and scripts/test under Wine: the first and the
unchanged run of the built quenwick.exe, and a silent install and uninstall of the release, as a
deployment tool makes them. Either part may be left out, so that the release is checked on Windows
even when the build there failed.

Usage: windows_smoke.py [--programs FOLDER] [--dist FOLDER]
  --programs  the folder of the built quenwick.exe and the helpers that play the user
  --dist      the release's folder, with the setup program and uninstall-quenwick.cmd"""

import argparse
import os
import sys
import unittest
from pathlib import Path

from facts import UNINSTALL_KEY
from wine_session import WineSession

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

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def test_silent_install_and_the_uninstall_script(self):
        session = self.session
        folder = session.local_app_data / "Programs/Quenwick"
        shortcut = session.startup / "Quenwick.lnk"
        self.assertEqual(session.run(self.setup, "/S"), 0)
        self.assertTrue((folder / "quenwick.exe").is_file())
        self.assertTrue(shortcut.is_file())
        location = session.registry_values(UNINSTALL_KEY)["InstallLocation"]
        self.assertTrue(session.local_path(location).samefile(folder), location)

        self.assertEqual(session.run(self.dist / "uninstall-quenwick.cmd"), 0)
        self.assertFalse((folder / "quenwick.exe").exists())
        self.assertFalse(shortcut.exists())
        self.assertIsNone(session.registry_values(UNINSTALL_KEY))


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
        suite.addTest(ReleaseSmokeTest("test_silent_install_and_the_uninstall_script"))
    if not needed:
        parser.error("give --programs, --dist or both")
    absent = [str(path) for path in needed if not path.is_file()]
    if absent:
        sys.exit("windows_smoke: missing " + ", ".join(absent))
    sys.exit(not unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful())


if __name__ == "__main__":
    main()
