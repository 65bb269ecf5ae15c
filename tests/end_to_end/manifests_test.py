"""The winget manifests beside the release that they belong to: they keep every rule of manifest
schema 1.12.0 for every field that they write and write no field that it does not define; they
follow winget-pkgs' conventions; they name the setup program's hash, version, licence and
Uninstall key, its log switch, and a response for every exit code that it can give."""

import copy
import hashlib
import os
import re
import unittest
from pathlib import Path

import pefile
import yaml

from facts import EXIT, SOURCE, UNINSTALL_KEY
from winget_schema import SCHEMAS, broken

DIST = Path(os.environ["QUENWICK_DIST"])
SETUP, = DIST.glob("Quenwick-*-setup.exe")


def setup_version():
    info = pefile.PE(SETUP, fast_load=False).VS_FIXEDFILEINFO[0]
    return f"{info.FileVersionMS >> 16}.{info.FileVersionMS & 0xFFFF}.{info.FileVersionLS >> 16}"


class ManifestsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.manifests = {path.name: yaml.safe_load(path.read_text(encoding="utf-8"))
                         for path in DIST.glob("*.yaml")}
        cls.installer = cls.manifests["Quenwick.Quenwick.installer.yaml"]
        cls.default_locale = cls.manifests["Quenwick.Quenwick.locale.en-US.yaml"]

    def test_each_manifest_keeps_every_rule_of_the_schema(self):
        self.assertEqual(sorted(manifest["ManifestType"] for manifest in self.manifests.values()),
                         ["defaultLocale", "installer", "locale", "version"])
        for name, manifest in self.manifests.items():
            with self.subTest(name):
                self.assertEqual(manifest["ManifestVersion"], "1.12.0")
                self.assertEqual(broken(manifest, SCHEMAS[manifest["ManifestType"]]), [])

    def test_the_check_finds_what_winget_would_refuse(self):
        def planted(manifest, change):
            changed = copy.deepcopy(manifest)
            change(changed)
            return broken(changed, SCHEMAS[changed["ManifestType"]])

        for name, manifest, change in [
            ("an unknown key", self.installer, lambda m: m.update(Homepage="https://example.com")),
            ("an unknown key in an installer", self.installer,
             lambda m: m["Installers"][0].update(Sha256="0" * 64)),
            ("an over-long description", self.default_locale,
             lambda m: m.update(Description="x" * 10001)),
            ("a bad enumeration", self.installer, lambda m: m.update(Scope="everyone")),
            ("a bad response", self.installer,
             lambda m: m["ExpectedReturnCodes"][0].update(ReturnResponse="retry")),
            ("a missing required field", self.default_locale, lambda m: m.pop("License")),
            ("an exit code of 0", self.installer,
             lambda m: m["ExpectedReturnCodes"][0].update(InstallerReturnCode=0)),
            ("a URL that is not one", self.default_locale, lambda m: m.update(LicenseUrl="LICENSE")),
        ]:
            with self.subTest(name):
                self.assertNotEqual(planted(manifest, change), [])

    def test_the_manifests_describe_the_setup_program_beside_them(self):
        installer, = self.installer["Installers"]
        self.assertEqual(installer["InstallerSha256"].lower(),
                         hashlib.sha256(SETUP.read_bytes()).hexdigest())
        self.assertTrue(installer["InstallerUrl"].endswith("/" + SETUP.name))
        for manifest in self.manifests.values():
            self.assertEqual(manifest["PackageVersion"], setup_version())
        self.assertEqual(self.installer["InstallerSwitches"]["Log"], '/Log="<LOGPATH>"')

    def test_the_manifests_follow_the_conventions_of_winget_pkgs(self):
        # The product code at the installer, as in the entry; no DisplayVersion in the entry where
        # it is the package's version; a licence that a file of the tag gives in full.
        installer, = self.installer["Installers"]
        entry, = self.installer["AppsAndFeaturesEntries"]
        product_code = UNINSTALL_KEY.rsplit("\\", 1)[1]
        self.assertEqual((installer["ProductCode"], entry["ProductCode"]),
                         (product_code, product_code))
        self.assertNotIn("DisplayVersion", entry)
        first_line = (SOURCE / "LICENSE").read_text().splitlines()[0]
        self.assertEqual(f"{self.default_locale['License']} License", first_line)
        self.assertRegex(self.default_locale["LicenseUrl"],
                         rf"/blob/v{re.escape(setup_version())}/LICENSE$")

    def test_every_exit_code_of_the_setup_program_has_a_response(self):
        codes = {code["InstallerReturnCode"]: code for code in self.installer["ExpectedReturnCodes"]}
        self.assertEqual(set(codes), set(EXIT.values()) - {0})
        # A running quenwick.exe is what 1618 says most often: winget tells the user to end it.
        self.assertEqual(codes[EXIT["RUNNING"]]["ReturnResponse"], "packageInUse")
        self.assertEqual(codes[EXIT["NEWER_INSTALLED"]]["ReturnResponse"], "downgrade")
        for code in codes.values():
            if code["ReturnResponse"] == "custom":
                self.assertIn("ReturnResponseUrl", code)


if __name__ == "__main__":
    unittest.main()
