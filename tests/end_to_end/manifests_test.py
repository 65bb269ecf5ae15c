"""The winget manifests beside the release that they belong to: they name the setup program's hash,
version and Uninstall key, give a response for every exit code that it can give, and keep the
rules of manifest schema 1.12.0 (its required fields, enumerations and patterns, as the schema's
documentation gives them)."""

import hashlib
import os
import re
import unittest
from pathlib import Path

import pefile
import yaml

from facts import EXIT, UNINSTALL_KEY

DIST = Path(os.environ["QUENWICK_DIST"])
SETUP, = DIST.glob("Quenwick-*-setup.exe")

VERSION_PART = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
IDENTIFIER_PART = r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}'
PATTERNS = {
    "PackageIdentifier": rf"{IDENTIFIER_PART}(\.{IDENTIFIER_PART}){{1,7}}",
    "PackageVersion": r'[^\\/:*?"<>|\x01-\x1f]+',
    "ManifestVersion": rf"{VERSION_PART}(\.{VERSION_PART}){{2}}",
    "MinimumOSVersion": rf"{VERSION_PART}(\.{VERSION_PART}){{0,3}}",
    "PackageLocale": r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*",
    "DefaultLocale": r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*",
    "InstallerSha256": r"[A-Fa-f0-9]{64}",
    "InstallerUrl": r"[Hh][Tt][Tt][Pp][Ss]?://.+",
    "ReturnResponseUrl": r"[Hh][Tt][Tt][Pp][Ss]?://.+",
}
ENUMS = {
    "InstallerType": {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa",
                      "portable", "font"},
    "Scope": {"user", "machine"},
    "InstallModes": {"interactive", "silent", "silentWithProgress"},
    "UpgradeBehavior": {"install", "uninstallPrevious", "deny"},
    "Architecture": {"x86", "x64", "arm", "arm64", "neutral"},
    "ReturnResponse": {"packageInUse", "packageInUseByApplication", "installInProgress",
                       "fileInUse", "missingDependency", "diskFull", "insufficientMemory",
                       "invalidParameter", "noNetwork", "contactSupport", "rebootRequiredToFinish",
                       "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
                       "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported",
                       "custom"},
}
REQUIRED = {
    "version": {"PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                "ManifestVersion"},
    "installer": {"PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                  "ManifestVersion"},
    "defaultLocale": {"PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                      "PackageName", "License", "ShortDescription", "ManifestType",
                      "ManifestVersion"},
    "locale": {"PackageIdentifier", "PackageVersion", "PackageLocale", "ManifestType",
               "ManifestVersion"},
}
INSTALLER_REQUIRED = {"Architecture", "InstallerUrl", "InstallerSha256"}


def broken_rules(value, where=""):
    """Every field of value, at any depth, that breaks a pattern or an enumeration."""
    if isinstance(value, dict):
        return [broken for name, item in value.items()
                for broken in broken_rules(item, name) + check(name, item)]
    if isinstance(value, list):
        return [broken for item in value for broken in broken_rules(item, where)]
    return []


def check(name, value):
    values = value if isinstance(value, list) else [value]
    broken = []
    for item in values:
        if name in PATTERNS and not re.fullmatch(PATTERNS[name], str(item)):
            broken.append(f"{name}: {item!r}")
        if name in ENUMS and item not in ENUMS[name]:
            broken.append(f"{name}: {item!r}")
    return broken


def setup_version():
    info = pefile.PE(SETUP, fast_load=False).VS_FIXEDFILEINFO[0]
    return f"{info.FileVersionMS >> 16}.{info.FileVersionMS & 0xFFFF}.{info.FileVersionLS >> 16}"


class ManifestsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.manifests = {path.name: yaml.safe_load(path.read_text(encoding="utf-8"))
                         for path in DIST.glob("*.yaml")}
        cls.installer = cls.manifests["Quenwick.Quenwick.installer.yaml"]

    def test_each_manifest_keeps_the_schemas_rules(self):
        self.assertEqual(sorted(manifest["ManifestType"] for manifest in self.manifests.values()),
                         ["defaultLocale", "installer", "locale", "version"])
        for name, manifest in self.manifests.items():
            with self.subTest(name):
                self.assertLessEqual(REQUIRED[manifest["ManifestType"]], set(manifest))
                self.assertEqual(manifest["ManifestVersion"], "1.12.0")
                self.assertEqual(broken_rules(manifest), [])
        for installer in self.installer["Installers"]:
            self.assertLessEqual(INSTALLER_REQUIRED, set(installer))

    def test_the_manifests_describe_the_setup_program_beside_them(self):
        installer, = self.installer["Installers"]
        self.assertEqual(installer["InstallerSha256"].lower(),
                         hashlib.sha256(SETUP.read_bytes()).hexdigest())
        self.assertTrue(installer["InstallerUrl"].endswith("/" + SETUP.name))
        entry, = self.installer["AppsAndFeaturesEntries"]
        self.assertEqual(entry["ProductCode"], UNINSTALL_KEY.rsplit("\\", 1)[1])
        for manifest in self.manifests.values():
            self.assertEqual(manifest["PackageVersion"], setup_version())
        self.assertEqual(entry["DisplayVersion"], setup_version())

    def test_every_exit_code_of_the_setup_program_has_a_response(self):
        codes = {code["InstallerReturnCode"]: code for code in self.installer["ExpectedReturnCodes"]}
        self.assertEqual(set(codes), set(EXIT.values()) - {0})
        self.assertEqual(codes[EXIT["RUNNING"]]["ReturnResponse"], "installInProgress")
        self.assertEqual(codes[EXIT["NEWER_INSTALLED"]]["ReturnResponse"], "downgrade")
        for code in codes.values():
            if code["ReturnResponse"] == "custom":
                self.assertIn("ReturnResponseUrl", code)


if __name__ == "__main__":
    unittest.main()
