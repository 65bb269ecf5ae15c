"""Writes the winget manifests of a release beside its setup program, in the multi-file form of
manifest version 1.12.0: the version, the installer, the default locale (en-US) and Polish. Each
exit code of the setup program's own list is given its closest response, or a custom one that
points to the guide's table.

Usage: make_manifests.py <dist> <version> <publisher> <license> <repository URL> <exit_codes.h>"""

import hashlib
import re
import sys
from pathlib import Path

import yaml

IDENTIFIER = "Quenwick.Quenwick"
MANIFEST_VERSION = "1.12.0"
# The Uninstall key's name, which winget reads as the product code of the entry.
PRODUCT_CODE = "Quenwick"
# The responses of winget's schema for the setup program's exit codes, by their names in
# exit_codes.h, each the one whose message winget shows says what the code means (the guide says
# why); "custom" points to the guide's table.
RESPONSES = {"Cancelled": "cancelledByUser", "NotForThisAccount": "custom",
             "FolderNotWritable": "custom", "UnknownArgument": "invalidParameter",
             "FolderNotEmpty": "custom", "FolderTooLong": "invalidParameter", "Failed": "custom",
             "Running": "packageInUse", "NewerInstalled": "downgrade"}
DESCRIPTIONS = {
    "en-US": ("Warns you at logon when a hosts file of Windows has changed size.",
              "Quenwick runs once at every logon, measures the hosts files of Windows and warns, "
              "in Polish, about each one whose size has changed since the last logon, offering "
              "to open it in Notepad. It has no window and no settings."),
    "pl-PL": ("Ostrzega przy logowaniu, gdy któryś plik hosts systemu Windows zmienił rozmiar.",
              "Quenwick uruchamia się przy każdym logowaniu, mierzy pliki hosts systemu Windows i "
              "ostrzega o każdym, którego rozmiar zmienił się od poprzedniego logowania, "
              "proponując otwarcie go w Notatniku. Nie ma okna ani ustawień."),
}


def write(dist, name, kind, fields):
    header = f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{MANIFEST_VERSION}.schema.json\n\n"
    body = yaml.safe_dump({**fields, "ManifestType": kind, "ManifestVersion": MANIFEST_VERSION},
                          sort_keys=False, allow_unicode=True, width=1000)
    (dist / name).write_text(header + body, encoding="utf-8")


def main():
    dist, version, publisher, license_name, repository, exit_codes = sys.argv[1:]
    dist = Path(dist)
    setup = dist / f"Quenwick-{version}-setup.exe"
    codes = re.findall(r"^inline constexpr int Exit(\w+) = (\d+);",
                       Path(exit_codes).read_text(), re.MULTILINE)
    guide = f"{repository}/blob/v{version}/docs/deploying.md#exit-codes"
    expected = []
    for name, code in codes:
        if code == "0":
            continue
        if name not in RESPONSES:
            sys.exit(f"make_manifests.py: no winget response for the exit code {name}")
        response = {"InstallerReturnCode": int(code), "ReturnResponse": RESPONSES[name]}
        if RESPONSES[name] == "custom":
            response["ReturnResponseUrl"] = guide
        expected.append(response)
    package = {"PackageIdentifier": IDENTIFIER, "PackageVersion": version}
    write(dist, f"{IDENTIFIER}.yaml", "version", {**package, "DefaultLocale": "en-US"})
    write(dist, f"{IDENTIFIER}.installer.yaml", "installer", {
        **package,
        "MinimumOSVersion": "10.0.0.0",
        "InstallerType": "exe",
        "Scope": "user",
        "InstallModes": ["interactive", "silent", "silentWithProgress"],
        "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S",
                              "InstallLocation": "/D=<INSTALLPATH>", "Log": '/Log="<LOGPATH>"'},
        "UpgradeBehavior": "install",
        "ExpectedReturnCodes": expected,
        # Its DisplayVersion is the package's version, which winget-pkgs leaves out.
        "AppsAndFeaturesEntries": [{"DisplayName": "Quenwick", "Publisher": publisher,
                                    "ProductCode": PRODUCT_CODE}],
        "InstallationMetadata": {"DefaultInstallLocation": "%LOCALAPPDATA%\\Programs\\Quenwick"},
        "Installers": [{
            "Architecture": "x64",
            "InstallerUrl": f"{repository}/releases/download/v{version}/{setup.name}",
            "InstallerSha256": hashlib.sha256(setup.read_bytes()).hexdigest().upper(),
            "ProductCode": PRODUCT_CODE,
        }],
    })
    for locale, (short, description) in DESCRIPTIONS.items():
        kind = "defaultLocale" if locale == "en-US" else "locale"
        write(dist, f"{IDENTIFIER}.locale.{locale}.yaml", kind, {
            **package, "PackageLocale": locale, "Publisher": publisher, "PackageName": "Quenwick",
            "PackageUrl": repository, "License": license_name,
            "LicenseUrl": f"{repository}/blob/v{version}/LICENSE", "ShortDescription": short,
            "Description": description, "ReleaseNotesUrl": f"{repository}/releases/tag/v{version}",
        })


if __name__ == "__main__":
    main()
