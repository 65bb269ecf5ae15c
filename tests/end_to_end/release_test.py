"""The release as a whole: a second checkout of the same sources, in another folder, makes the same
bytes as this build, says that it is unsigned, and signs both programs when given a certificate."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(os.environ["QUENWICK_SOURCE"])
DIST = Path(os.environ["QUENWICK_DIST"])
QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
EPOCH = os.environ["QUENWICK_RELEASE_EPOCH"]


def copy_sources(target):
    """The project's files as a checkout has them, with whatever is changed and not committed."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=SOURCE, capture_output=True)
    if listed.returncode != 0:  # sources without git: all but the builds
        shutil.copytree(SOURCE, target, ignore=shutil.ignore_patterns("build"))
        return
    for name in filter(None, listed.stdout.decode().split("\0")):
        if (SOURCE / name).is_file():
            (target / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(SOURCE / name, target / name)


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix="quenwick-release-"))
        cls.checkout = cls.root / "another checkout"
        copy_sources(cls.checkout)
        cls.dist = cls.checkout / "build/release/dist"
        # The commit's time, as this build took it from git.
        cls.env = {**os.environ, "SOURCE_DATE_EPOCH": EPOCH}
        for variable in ["QUENWICK_SIGNING_PFX", "QUENWICK_SIGNING_PASSWORD"]:
            cls.env.pop(variable, None)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def release(self, **env):
        run = subprocess.run(["cmake", "--workflow", "--preset", "release"], cwd=self.checkout,
                             env={**self.env, **env}, capture_output=True, text=True, timeout=900)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(sorted(path.name for path in self.dist.iterdir()), sorted(
            path.name for path in DIST.iterdir()))
        subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=self.dist, check=True)
        return run.stdout

    def test_another_folder_builds_the_same_bytes_and_signs_when_given_a_certificate(self):
        output = self.release()
        self.assertEqual(output.count("unsigned, as QUENWICK_SIGNING_PFX is not set"), 1)
        self.assertEqual((self.checkout / "build/release/src/quenwick.exe").read_bytes(),
                         QUENWICK_EXE.read_bytes())
        self.assertEqual((self.dist / "SHA256SUMS").read_text(), (DIST / "SHA256SUMS").read_text())

        # A throwaway certificate of our own, trusted for the check alone.
        key, certificate, pfx = (self.root / name for name in ["key.pem", "cert.pem", "cert.pfx"])
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=Quenwick test signing", "-keyout", key, "-out", certificate],
                       check=True, capture_output=True)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out",
                        pfx, "-passout", "pass:throwaway"], check=True, capture_output=True)
        self.release(QUENWICK_SIGNING_PFX=str(pfx), QUENWICK_SIGNING_PASSWORD="throwaway")
        zip_file, = self.dist.glob("*-win64.zip")
        signed_exe = self.root / "quenwick.exe"
        signed_exe.write_bytes(subprocess.run(["unzip", "-p", zip_file, "quenwick.exe"],
                                              capture_output=True, check=True).stdout)
        for program in [signed_exe, *self.dist.glob("*-setup.exe")]:
            with self.subTest(program.name):
                verify = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, "-in",
                                         program], capture_output=True, text=True)
                self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)

    def test_setup_program_carries_the_icon_of_the_program(self):
        setup, = DIST.glob("*-setup.exe")
        self.assertEqual(*[subprocess.run(["wrestool", "-x", "--type=group_icon", program],
                                          capture_output=True, check=True).stdout
                           for program in [setup, QUENWICK_EXE]])


if __name__ == "__main__":
    unittest.main()
