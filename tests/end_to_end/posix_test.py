"""End-to-end runs of the POSIX build of quenwick, copied into a folder of its own, against a
Wine-style prefix in a temporary folder, with the user's answers on standard input."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

QUENWICK = Path(os.environ["QUENWICK"])
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

    def watch(self, index, contents):
        """Writes the watched file at index 1 to 4."""
        (self.windows / WATCHED[index - 1]).write_bytes(contents)

    def run_quenwick(self, answers=""):
        return subprocess.run(
            [self.app / "quenwick"], input=answers.encode(), capture_output=True, timeout=30,
            env={"PATH": os.environ["PATH"], "WINEPREFIX": str(self.root / "prefix")})

    def test_only_etc_hosts_ends_with_status_zero(self):
        self.watch(3, b"127.0.0.1 localhost\r\n")
        run = self.run_quenwick()
        self.assertEqual((run.returncode, run.stderr), (0, b""))


if __name__ == "__main__":
    unittest.main()
