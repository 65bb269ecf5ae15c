"""The release as a whole: a second checkout of the same sources, in another folder, makes the same
bytes as this build, says that it is unsigned, and signs both programs and the program that the
setup program carries when given a certificate, with a time stamp from a time-stamping authority of
the test's own on 127.0.0.1: with the osslsigncode installed here, and with Debian 12's own."""

import http.server
import os
import shutil
import subprocess
import tempfile
import threading
import unittest
from pathlib import Path

SOURCE = Path(os.environ["QUENWICK_SOURCE"])
DIST = Path(os.environ["QUENWICK_DIST"])
QUENWICK_EXE = Path(os.environ["QUENWICK_EXE"])
EPOCH = os.environ["QUENWICK_RELEASE_EPOCH"]
# The version of osslsigncode in Debian 12, which the workflows' debian:12 container installs.
DEBIAN_12_OSSLSIGNCODE = "2.5-4"


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


def throwaway_certificate(folder, name, *extensions):
    """A self-signed certificate and its key, valid for a day, as (certificate, key) files."""
    key, certificate = folder / f"{name}.key", folder / f"{name}.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", f"/CN=Quenwick test {name}", "-keyout", key, "-out", certificate,
                    *[argument for extension in extensions for argument in ["-addext", extension]]],
                   check=True, capture_output=True)
    return certificate, key


def start_time_stamp_authority(folder):
    """An RFC 3161 time-stamping authority on 127.0.0.1, answering each request with openssl ts;
    gives its URL, its certificate and the server, to shut down."""
    certificate, key = throwaway_certificate(folder, "time-stamping",
                                             "extendedKeyUsage=critical,timeStamping")
    config = folder / "tsa.cnf"
    config.write_text(f"""[tsa]
default_tsa = authority
[authority]
serial = {folder / "tsa-serial"}
signer_cert = {certificate}
signer_key = {key}
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
ess_cert_id_alg = sha256
""")

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            query = self.rfile.read(int(self.headers["Content-Length"]))
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile",
                                    "/dev/stdin", "-out", "/dev/stdout"], input=query,
                                   capture_output=True, check=True).stdout
            self.send_response(200)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        def log_message(self, *_):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return f"http://127.0.0.1:{server.server_port}/", certificate, server


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix="quenwick-release-"))
        cls.checkout = cls.root / "another checkout"
        copy_sources(cls.checkout)
        cls.dist = cls.checkout / "build/release/dist"
        # The commit's time, as this build took it from git.
        # Unsigned, whatever the build was configured with before, unless a test says otherwise.
        cls.env = {**os.environ, "SOURCE_DATE_EPOCH": EPOCH, "QUENWICK_SIGNING_PFX": "",
                   "QUENWICK_SIGNING_TIMESTAMP_URL": ""}
        cls.env.pop("QUENWICK_SIGNING_PASSWORD", None)

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
        self.assertEqual((self.checkout / "build/release/bin/quenwick.exe").read_bytes(),
                         QUENWICK_EXE.read_bytes())
        self.assertEqual((self.dist / "SHA256SUMS").read_text(), (DIST / "SHA256SUMS").read_text())
        # The zip gives its licence in full.
        zip_file, = self.dist.glob("*-win64.zip")
        readme = subprocess.run(["unzip", "-p", zip_file, "README.txt"], capture_output=True,
                                check=True).stdout.decode("utf-8-sig").replace("\r\n", "\n")
        self.assertIn((SOURCE / "LICENSE").read_text(), readme)

        certificate, authority = self.signed_release("installed")
        signed_exe = self.assert_signed(certificate, authority)

        # A time stamp differs from one signing to the next; what was signed does not.
        unsigned_exe = self.root / "unsigned.exe"
        subprocess.run(["osslsigncode", "remove-signature", "-in", signed_exe, "-out",
                        unsigned_exe], check=True, capture_output=True)
        self.assertEqual(unsigned_exe.read_bytes(), QUENWICK_EXE.read_bytes())

    def test_debian_12s_own_osslsigncode_signs_the_release(self):
        # The workflows' debian:12 container installs Debian 12's osslsigncode, 2.5, which reads a
        # password from a file alone; these machines may carry a newer one. Taken from its package,
        # unpacked and not installed, and found first on the PATH.
        tools = self.root / "osslsigncode-2.5"
        tools.mkdir()
        download = subprocess.run(["apt-get", "download", f"osslsigncode={DEBIAN_12_OSSLSIGNCODE}"],
                                  cwd=tools, capture_output=True, text=True)
        package = next(tools.glob("osslsigncode_*.deb"), None)
        if download.returncode != 0 or package is None:
            self.skipTest(f"Debian 12's osslsigncode {DEBIAN_12_OSSLSIGNCODE} could not be "
                          f"fetched: {download.stderr.strip()}")
        subprocess.run(["dpkg-deb", "-x", package, tools], check=True)
        path = f"{tools / 'usr/bin'}:{os.environ['PATH']}"
        version = subprocess.run(["osslsigncode", "--version"], env={**os.environ, "PATH": path},
                                 capture_output=True, text=True).stdout
        self.assertTrue(version.startswith("osslsigncode 2.5,"), version)
        self.assert_signed(*self.signed_release("debian-12", PATH=path))

    def signed_release(self, name, **env):
        """The release signed with a throwaway certificate of that name, trusted for the check
        alone, time-stamped by an authority of the test's own; gives the certificate and the
        authority's."""
        certificate, key = throwaway_certificate(self.root, name)
        pfx = self.root / f"{name}.pfx"
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out",
                        pfx, "-passout", "pass:throw away"], check=True, capture_output=True)
        (self.root / name).mkdir()
        url, authority, server = start_time_stamp_authority(self.root / name)
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        self.release(QUENWICK_SIGNING_PFX=str(pfx), QUENWICK_SIGNING_PASSWORD="throw away",
                     QUENWICK_SIGNING_TIMESTAMP_URL=url, **env)
        return certificate, authority

    def assert_signed(self, certificate, authority):
        """Checks the signatures of the release's programs; gives its quenwick.exe."""
        zip_file, = self.dist.glob("*-win64.zip")
        signed_exe = self.root / "quenwick.exe"
        signed_exe.write_bytes(subprocess.run(["unzip", "-p", zip_file, "quenwick.exe"],
                                              capture_output=True, check=True).stdout)
        # The setup program, and the quenwick.exe that it carries and installs; the uninstaller
        # that it writes is its own copy.
        setup, = self.dist.glob("*-setup.exe")
        carried = self.root / "carried.exe"
        carried.write_bytes(subprocess.run(["wrestool", "-x", "--raw", "--type=10",
                                            "--name=QUENWICK_EXE", setup],
                                           capture_output=True, check=True).stdout)
        for program in [signed_exe, setup, carried]:
            with self.subTest(str(program.relative_to(self.root))):
                verify = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate,
                                         "-TSA-CAfile", authority, "-in", program],
                                        capture_output=True, text=True)
                self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
                self.assertIn("Timestamp Server Signature verification: ok", verify.stdout)
        return signed_exe

    def test_a_certificate_that_is_not_there_fails_at_once_and_a_wrong_password_says_why(self):
        certificate, key = throwaway_certificate(self.root, "password")
        pfx = self.root / "password.pfx"
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out",
                        pfx, "-passout", "pass:right"], check=True, capture_output=True)
        for name, env, said in [
            ("no certificate", {"QUENWICK_SIGNING_PFX": str(self.root / "none.pfx")},
             "which is not there"),
            ("a wrong password", {"QUENWICK_SIGNING_PFX": str(pfx),
                                  "QUENWICK_SIGNING_PASSWORD": "wrong"},
             "osslsigncode could not sign"),
        ]:
            with self.subTest(name):
                run = subprocess.run(["cmake", "--workflow", "--preset", "release"],
                                     cwd=self.checkout, env={**self.env, **env},
                                     capture_output=True, text=True, timeout=900)
                self.assertNotEqual(run.returncode, 0)
                self.assertIn(said, " ".join((run.stdout + run.stderr).split()))

    def test_sources_without_a_commit_time_say_so_and_fail_in_ci(self):
        env = {name: value for name, value in self.env.items()
               if name not in ["SOURCE_DATE_EPOCH", "CI"]}
        for name, ci, fails in [("outside CI", {}, False), ("in CI", {"CI": "true"}, True)]:
            with self.subTest(name):
                run = subprocess.run(["cmake", "--preset", "release", "--fresh"], cwd=self.checkout,
                                     env={**env, **ci}, capture_output=True, text=True,
                                     timeout=300)
                self.assertEqual(run.returncode != 0, fails, run.stderr)
                self.assertIn("The release has no commit time", run.stderr)

    def test_setup_program_carries_the_icon_of_the_program(self):
        setup, = DIST.glob("*-setup.exe")
        self.assertEqual(*[subprocess.run(["wrestool", "-x", "--type=group_icon", program],
                                          capture_output=True, check=True).stdout
                           for program in [setup, QUENWICK_EXE]])


if __name__ == "__main__":
    unittest.main()
