"""End-to-end runs of quenwick.exe on Wine's user32 and kernel32, with real boxes answered by
box_driver.exe, a fresh prefix for the whole run and a folder of its own for each test. The CI
workflow runs the first two on Windows itself, which leaves the system's hosts file alone."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from facts import CANCEL, NO, NOTICE, OK, YES, warning
from wine_session import WineSession

QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
FILE_HOLDER = Path(os.environ["FILE_HOLDER"])
PLANTED_DLL = Path(os.environ["PLANTED_DLL"])
ETC_HOSTS = "C:\\windows\\system32\\drivers\\etc\\hosts"

session = None


def setUpModule():
    global session
    session = WineSession(os.environ["BOX_DRIVER"])


def tearDownModule():
    session.close()


class WineEndToEndTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.etc_hosts = session.drive_c / "windows/system32/drivers/etc/hosts"
        cls.original_hosts = cls.etc_hosts.read_bytes()

    def setUp(self):
        if self.etc_hosts.read_bytes() != self.original_hosts:
            self.etc_hosts.write_bytes(self.original_hosts)
        self.app = session.drive_c / self._testMethodName
        self.app.mkdir()
        shutil.copy(QUENWICK_EXE, self.app)
        self.sizes = f"-1\r\n-1\r\n{len(self.original_hosts)}\r\n-1\r\n".encode()

    def start_quenwick(self, **options):
        return session.start(self.app / "quenwick.exe", **options)

    def hold(self, path, sharing="none", milliseconds=None):
        """Keeps the file at path open, sharing nothing or only reading ("read"), for milliseconds
        from now or until the test ends."""
        holder = session.hold(FILE_HOLDER, path, sharing, milliseconds)
        self.addCleanup(holder.wait, 30)
        self.addCleanup(holder.stdin.close)

    def data_dat(self):
        return (self.app / "data.dat").read_bytes()

    def test_first_run_shows_the_notice_and_records_the_sizes(self):
        quenwick = self.start_quenwick()
        notice = session.box()
        self.assertEqual((notice["caption"], notice["text"]), ("Quenwick", NOTICE))
        # One button, OK: Windows documents no control ID for it, and Wine gives it IDOK.
        self.assertIn(notice["buttons"], [[OK], [CANCEL]])
        session.box(notice["buttons"][0])
        self.assertEqual(quenwick.wait(30), 0)
        self.assertEqual(self.data_dat(), self.sizes)

    def test_unchanged_second_run_shows_no_box(self):
        (self.app / "data.dat").write_bytes(self.sizes)
        self.assertEqual(self.start_quenwick().wait(30), 0)
        self.assertEqual(self.data_dat(), self.sizes)

    def test_grown_hosts_warns_and_yes_opens_notepad_without_waiting(self):
        (self.app / "data.dat").write_bytes(self.sizes)
        self.etc_hosts.write_bytes(self.original_hosts + b"10.6.6.6 bank.example\r\n")
        self.addCleanup(session.wineserver, "-k")  # Notepad stays open until then
        quenwick = self.start_quenwick()
        box = session.box(YES)
        self.assertEqual(box["text"], warning(ETC_HOSTS))
        self.assertEqual((box["buttons"], box["default"]), ([YES, NO], YES))
        self.assertEqual(quenwick.wait(30), 0)
        self.assertTrue(self.wait_for_process(f"notepad.exe {ETC_HOSTS}"))

    def test_watched_file_held_by_another_program_gives_its_true_size(self):
        # Held for the whole run with no sharing at all, far past the second that a hold on
        # data.dat is waited for: the length is taken without reading the file.
        (self.app / "data.dat").write_bytes(self.sizes)
        self.hold(ETC_HOSTS)
        self.assertEqual(self.finish_without_a_box(self.start_quenwick()), 0)
        self.assertEqual(self.data_dat(), self.sizes)

    def test_baseline_that_cannot_be_replaced_is_a_fatal_error_and_stays_whole(self):
        old = f"-1\r\n-1\r\n{len(self.original_hosts) - 1}\r\n-1\r\n".encode()
        (self.app / "data.dat").write_bytes(old)
        self.hold(f"C:\\{self.app.name}\\data.dat")
        quenwick = self.start_quenwick()
        self.assertEqual(session.box(OK)["text"], NOTICE, "a locked baseline cannot be read")
        error = session.box(OK)
        self.assertEqual(error["caption"], "Quenwick")
        self.assertRegex(error["text"],
                         r"^Nie udało się zapisać pliku C:\\.*\\data\.dat\.\n\n.+\n\n"
                         r"MoveFileExW\(C:\\.*\\data\.dat\), win32 error \d+$")
        self.assertEqual(quenwick.wait(30), 1)
        self.assertEqual(self.data_dat(), old)
        self.assertEqual(sorted(path.name for path in self.app.iterdir()),
                         ["data.dat", "quenwick.exe"])

    def test_brief_hold_by_another_program_is_waited_out(self):
        # A scanner's look at a file: held from before the checker starts, for longer than Wine
        # takes to start it, and let go well within the checker's second of waiting.
        data_dat = f"C:\\{self.app.name}\\data.dat"
        for name, path, sharing in [("data.dat", data_dat, "none"),
                                    ("data.dat against replacing", data_dat, "read")]:
            with self.subTest(name):
                (self.app / "data.dat").write_bytes(self.sizes)
                self.hold(path, sharing, 300)
                self.assertEqual(self.finish_without_a_box(self.start_quenwick()), 0)
                self.assertEqual(self.data_dat(), self.sizes)

    def finish_without_a_box(self, quenwick):
        """The exit status of a run that must show no box; a box that it shows fails the test."""
        try:
            return quenwick.wait(15)
        except subprocess.TimeoutExpired:
            self.addCleanup(session.wineserver, "-k")
            self.fail(f"a box: {session.box()}")

    def test_dll_planted_beside_the_program_is_never_loaded(self):
        # uxtheme.dll is loaded when the first box is drawn. Wine takes its own builtin DLLs before
        # any file of the same name; the override makes it take a native one first, as Windows
        # always does.
        shutil.copy(PLANTED_DLL, self.app / "uxtheme.dll")
        overrides = session.env["WINEDLLOVERRIDES"] + ";uxtheme=n,b"
        quenwick = self.start_quenwick(env={**session.env, "WINEDLLOVERRIDES": overrides})
        self.assertEqual(session.box(OK)["text"], NOTICE)
        self.assertEqual(quenwick.wait(30), 0)
        self.assertFalse((self.app / "uxtheme.dll.loaded").exists())

    def test_without_user32_the_report_goes_to_standard_error(self):
        # Wine can switch a DLL off for one program; then not even the report can be a box.
        key = "HKCU\\Software\\Wine\\AppDefaults\\quenwick.exe\\DllOverrides"
        session.reg("add", key, "/v", "user32", "/d", "disabled", "/f")
        self.addCleanup(session.reg, "delete", key, "/f")
        with tempfile.TemporaryFile() as error:
            self.assertEqual(self.start_quenwick(stderr=error).wait(30), 1)
            error.seek(0)
            self.assertIn("LoadLibraryExW(user32.dll), win32 error 126", error.read().decode())

    @staticmethod
    def wait_for_process(command_line):
        for _ in range(100):
            ps = subprocess.run(["ps", "-eo", "args"], capture_output=True, text=True).stdout
            if any(line.endswith(command_line) for line in ps.splitlines()):
                return True
            time.sleep(0.1)
        return False


if __name__ == "__main__":
    unittest.main()
