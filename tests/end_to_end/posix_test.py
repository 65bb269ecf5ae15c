"""End-to-end runs of the POSIX build of quenwick, copied into a folder of its own, against a
Wine-style prefix in a temporary folder, with the user's answers on standard input."""

import os
import random
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from facts import NOTICE, warning

QUENWICK = Path(os.environ["QUENWICK"])
# A stand-in for Wine that records its arguments, then stays running as a viewer would.
FAKE_WINE = """#!/bin/sh
echo $$ > "$0.pid"
printf '%s\\n' "$@" > "$0.part" && /bin/mv "$0.part" "$0.args"
/bin/sleep 60
"""
WATCHED = ["hosts", "hosts.sam", "system32/drivers/etc/hosts", "system32/drivers/etc/hosts.sam"]


class PosixEndToEndTest(unittest.TestCase):
    def setUp(self):
        self.root = Path(self.enterContext(tempfile.TemporaryDirectory()))
        self.windows = self.root / "prefix/drive_c/windows"
        (self.windows / "system32/drivers/etc").mkdir(parents=True)
        (self.root / "prefix/dosdevices").mkdir()
        (self.root / "prefix/dosdevices/c:").symlink_to("../drive_c")
        self.app = self.root / "app"
        self.app.mkdir()
        shutil.copy(QUENWICK, self.app)
        self.bin = self.root / "bin"
        self.bin.mkdir()

    def watch(self, index, contents):
        """Writes the watched file at index 1 to 4."""
        (self.windows / WATCHED[index - 1]).write_bytes(contents)

    def warning(self, index):
        return warning("C:\\windows\\" + WATCHED[index - 1].replace("/", "\\"))

    def install_fake_wine(self):
        wine = self.bin / "wine"
        wine.write_text(FAKE_WINE)
        wine.chmod(0o755)
        self.addCleanup(self.stop_viewer, wine.with_suffix(".pid"))
        return wine.with_suffix(".args")

    @staticmethod
    def stop_viewer(pid_file):
        if pid_file.exists():
            os.killpg(int(pid_file.read_text()), signal.SIGKILL)  # it leads a session of its own

    def data_dat(self):
        return (self.app / "data.dat").read_bytes()

    def run_quenwick(self, answers="", user=()):
        run = subprocess.run(
            [*user, self.app / "quenwick"], input=answers.encode(), capture_output=True,
            timeout=30, env={"PATH": str(self.bin), "WINEPREFIX": str(self.root / "prefix")})
        run.stdout = run.stdout.decode()
        return run

    def test_first_run_shows_the_notice_once_and_the_second_run_nothing(self):
        self.watch(3, b"127.0.0.1 localhost\r\n")
        first = self.run_quenwick()
        self.assertEqual((first.returncode, first.stdout), (0, f"Quenwick: {NOTICE} [OK] \n"))
        self.assertEqual(self.data_dat(), b"-1\r\n-1\r\n21\r\n-1\r\n")
        second = self.run_quenwick()
        self.assertEqual((second.returncode, second.stdout), (0, ""))
        self.assertEqual(self.data_dat(), b"-1\r\n-1\r\n21\r\n-1\r\n")

    def test_unusable_baseline_counts_as_a_first_run(self):
        self.watch(1, b"x" * 734)
        for name, contents in [("two records", b"734\r\n-1\r\n"), ("empty", b""),
                               ("random bytes", random.Random(7).randbytes(300))]:
            with self.subTest(name):
                (self.app / "data.dat").write_bytes(contents)
                run = self.run_quenwick()
                self.assertEqual(run.stdout.count(NOTICE), 1)
                self.assertEqual(self.data_dat(), b"734\r\n-1\r\n-1\r\n-1\r\n")

    def test_fifth_record_is_ignored_then_dropped(self):
        self.watch(1, b"x" * 734)
        (self.app / "data.dat").write_bytes(b"734\r\n-1\r\n-1\r\n-1\r\n5\r\n")
        run = self.run_quenwick()
        self.assertEqual(run.stdout, "")
        self.assertEqual(self.data_dat(), b"734\r\n-1\r\n-1\r\n-1\r\n")

    def test_failed_save_ends_with_status_one_and_keeps_the_old_baseline(self):
        old = b"734\r\n-1\r\n-1\r\n-1\r\n"
        (self.app / "data.dat").write_bytes(old)
        # An unprivileged user in a folder it cannot write to; root would ignore the permissions.
        self.root.chmod(0o755)
        self.app.chmod(0o555)
        self.addCleanup(self.app.chmod, 0o755)
        user = [shutil.which("setpriv"), "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
        run = self.run_quenwick(user=user if os.geteuid() == 0 else ())
        self.assertEqual(run.returncode, 1)
        self.assertRegex(run.stderr.decode(),
                         r"^Quenwick: Nie udało się zapisać pliku /.*/app\\data\.dat\.\n"
                         r"Quenwick: open\(.*/app/data\.dat\.\d+\.tmp\): Permission denied\n$")
        self.assertEqual(self.data_dat(), old)
        self.assertEqual(sorted(p.name for p in self.app.iterdir()), ["data.dat", "quenwick"])

    def test_each_change_is_warned_about_in_order_and_no_declines_the_viewer(self):
        wine_args = self.install_fake_wine()
        self.watch(1, b"x" * 10)
        self.watch(4, b"")
        (self.app / "data.dat").write_bytes(b"11\r\n-1\r\n-1\r\n5\r\n")
        run = self.run_quenwick("n\nn\n")
        self.assertEqual(run.returncode, 0)
        self.assertEqual(run.stdout, f"Quenwick: {self.warning(1)} [T/n] "
                                     f"Quenwick: {self.warning(4)} [T/n] ")
        self.assertFalse(wine_args.exists())
        self.assertEqual(self.data_dat(), b"10\r\n-1\r\n-1\r\n0\r\n")

    def test_yes_opens_notepad_in_wine_without_waiting_for_it(self):
        wine_args = self.install_fake_wine()
        self.watch(1, b"x" * 10)
        (self.app / "data.dat").write_bytes(b"11\r\n-1\r\n-1\r\n-1\r\n")
        run = self.run_quenwick("t\n")
        self.assertEqual(run.returncode, 0)
        for _ in range(500):
            if wine_args.exists():
                break
            time.sleep(0.01)
        self.assertEqual(wine_args.read_text(), "notepad.exe\nC:\\windows\\hosts\n")
        self.assertEqual(self.data_dat(), b"10\r\n-1\r\n-1\r\n-1\r\n")

    def test_viewer_that_cannot_start_ends_with_status_one_and_keeps_the_baseline(self):
        self.watch(1, b"x" * 10)
        (self.app / "data.dat").write_bytes(b"11\r\n-1\r\n-1\r\n-1\r\n")
        run = self.run_quenwick("\n")
        self.assertEqual(run.returncode, 1)
        self.assertEqual(run.stderr.decode(),
                         "Quenwick: Nie udało się uruchomić programu notepad.exe.\n"
                         "Quenwick: posix_spawnp(wine notepad.exe C:\\windows\\hosts): "
                         "No such file or directory\n")
        self.assertEqual(self.data_dat(), b"11\r\n-1\r\n-1\r\n-1\r\n")

    def test_appeared_file_and_same_size_edit_are_not_reported(self):
        self.watch(2, b"new file")
        self.watch(3, b"127.0.0.1 localhost\r\n")
        (self.app / "data.dat").write_bytes(b"-1\r\n-1\r\n21\r\n-1\r\n")
        self.watch(3, b"127.0.0.6 localhost\r\n")
        run = self.run_quenwick()
        self.assertEqual((run.returncode, run.stdout), (0, ""))
        self.assertEqual(self.data_dat(), b"-1\r\n8\r\n21\r\n-1\r\n")


if __name__ == "__main__":
    unittest.main()
