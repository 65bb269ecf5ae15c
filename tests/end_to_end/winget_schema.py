"""The rules of winget's manifest schema 1.12.0 (winget-cli's schemas/JSON/manifests/v1.12.0, the
documentation of each manifest's fields) for every field that the release writes: its type,
pattern, length, range and enumeration; for each object, the names of every field that the schema
defines and those it requires, since winget's validation refuses a field that it does not know. And
a checker of a manifest against them."""

import re

STRING, NULLABLE = ("string",), ("string", "null")
URL = {"type": NULLABLE, "pattern": r"^([Hh][Tt][Tt][Pp][Ss]?)://.+$", "maxLength": 2048}
VERSION_PART = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
IDENTIFIER_PART = r'[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}'
LOCALE = r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$"

PACKAGE = {
    "PackageIdentifier": {"type": STRING, "maxLength": 128,
                          "pattern": rf"^{IDENTIFIER_PART}(\.{IDENTIFIER_PART}){{1,7}}$"},
    "PackageVersion": {"type": STRING, "maxLength": 128,
                       "pattern": r'^[^\\/:\*\?"<>\|\x01-\x1f]+$'},
    "ManifestVersion": {"type": STRING, "pattern": rf"^{VERSION_PART}(\.{VERSION_PART}){{2}}$"},
}


def manifest_type(name):
    return {"type": STRING, "enum": {name}}


SWITCH = {"type": NULLABLE, "minLength": 1, "maxLength": 512}
INSTALLER_SWITCHES = {
    "type": ("object",),
    "properties": {"Silent": SWITCH, "SilentWithProgress": SWITCH, "Interactive": SWITCH,
                   "InstallLocation": SWITCH, "Log": SWITCH, "Upgrade": SWITCH,
                   "Custom": {"type": NULLABLE, "minLength": 1, "maxLength": 2048},
                   "Repair": SWITCH},
}
RETURN_RESPONSES = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse",
                    "missingDependency", "diskFull", "insufficientMemory", "invalidParameter",
                    "noNetwork", "contactSupport", "rebootRequiredToFinish",
                    "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
                    "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported",
                    "custom"}
EXPECTED_RETURN_CODES = {
    "type": ("array", "null"), "maxItems": 128,
    "items": {
        "type": ("object",),
        "properties": {
            "InstallerReturnCode": {"type": ("integer",), "minimum": -2147483648,
                                    "maximum": 4294967295, "not": {0}},
            "ReturnResponse": {"type": STRING, "enum": RETURN_RESPONSES},
            "ReturnResponseUrl": URL,
        },
        "required": {"InstallerReturnCode", "ReturnResponse"},
    },
}
PRODUCT_CODE = {"type": NULLABLE, "minLength": 1, "maxLength": 255}
APPS_AND_FEATURES_ENTRIES = {
    "type": ("array", "null"), "maxItems": 128, "uniqueItems": True,
    "items": {
        "type": ("object",),
        "properties": {"DisplayName": {"type": NULLABLE, "minLength": 1, "maxLength": 256},
                       "Publisher": {"type": NULLABLE, "minLength": 1, "maxLength": 256},
                       "DisplayVersion": {"type": NULLABLE, "minLength": 1, "maxLength": 128},
                       "ProductCode": PRODUCT_CODE, "UpgradeCode": PRODUCT_CODE,
                       "InstallerType": {}},
    },
}
INSTALLER_TYPES = {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa",
                   "portable", "font"}
# Every field of an installer and of the installer manifest's root that the schema defines; the
# rules are given for those that the release writes.
INSTALLER_FIELDS = {
    "InstallerLocale", "Platform", "MinimumOSVersion", "InstallerType", "NestedInstallerType",
    "NestedInstallerFiles", "Scope", "InstallModes", "InstallerSwitches", "InstallerSuccessCodes",
    "ExpectedReturnCodes", "UpgradeBehavior", "Commands", "Protocols", "FileExtensions",
    "Dependencies", "PackageFamilyName", "ProductCode", "Capabilities", "RestrictedCapabilities",
    "Markets", "InstallerAbortsTerminal", "ReleaseDate", "InstallLocationRequired",
    "RequireExplicitUpgrade", "DisplayInstallWarnings", "UnsupportedOSArchitectures",
    "UnsupportedArguments", "AppsAndFeaturesEntries", "ElevationRequirement",
    "InstallationMetadata", "DownloadCommandProhibited", "RepairBehavior",
    "ArchiveBinariesDependOnPath", "Authentication"}
INSTALLER_RULES = {
    "MinimumOSVersion": {"type": NULLABLE,
                         "pattern": rf"^{VERSION_PART}(\.{VERSION_PART}){{0,3}}$"},
    "InstallerType": {"type": NULLABLE, "enum": INSTALLER_TYPES},
    "Scope": {"type": NULLABLE, "enum": {"user", "machine"}},
    "InstallModes": {"type": ("array", "null"), "maxItems": 3, "uniqueItems": True,
                     "items": {"type": STRING,
                               "enum": {"interactive", "silent", "silentWithProgress"}}},
    "InstallerSwitches": INSTALLER_SWITCHES,
    "ExpectedReturnCodes": EXPECTED_RETURN_CODES,
    "UpgradeBehavior": {"type": NULLABLE, "enum": {"install", "uninstallPrevious", "deny"}},
    "ProductCode": PRODUCT_CODE,
    "AppsAndFeaturesEntries": APPS_AND_FEATURES_ENTRIES,
    "InstallationMetadata": {
        "type": ("object",),
        "properties": {"DefaultInstallLocation": {"type": NULLABLE, "minLength": 1,
                                                  "maxLength": 2048},
                       "Files": {}}},
}
INSTALLER = {
    "type": ("object",),
    "properties": {**dict.fromkeys(INSTALLER_FIELDS, {}), **INSTALLER_RULES,
                   "Architecture": {"type": STRING,
                                    "enum": {"x86", "x64", "arm", "arm64", "neutral"}},
                   "InstallerUrl": {**URL, "type": STRING},
                   "InstallerSha256": {"type": STRING, "pattern": r"^[A-Fa-f0-9]{64}$"},
                   "SignatureSha256": {}},
    "required": {"Architecture", "InstallerUrl", "InstallerSha256"},
}
LOCALE_FIELDS = {
    "PublisherUrl": URL, "PublisherSupportUrl": URL, "PrivacyUrl": URL, "Author": {},
    "PackageUrl": URL, "LicenseUrl": URL, "Copyright": {}, "CopyrightUrl": URL,
    "Description": {"type": NULLABLE, "minLength": 3, "maxLength": 10000}, "Tags": {},
    "Agreements": {}, "ReleaseNotes": {}, "ReleaseNotesUrl": URL, "PurchaseUrl": URL,
    "InstallationNotes": {}, "Documentations": {}, "Icons": {},
    "PackageLocale": {"type": STRING, "pattern": LOCALE, "maxLength": 20},
}

SCHEMAS = {
    "version": {
        "type": ("object",),
        "properties": {**PACKAGE, "ManifestType": manifest_type("version"),
                       "DefaultLocale": {"type": STRING, "pattern": LOCALE, "maxLength": 20}},
        "required": {"PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                     "ManifestVersion"},
    },
    "installer": {
        "type": ("object",),
        "properties": {**PACKAGE, **dict.fromkeys(INSTALLER_FIELDS, {}), **INSTALLER_RULES,
                       "Channel": {},
                       "Installers": {"type": ("array",), "minItems": 1, "maxItems": 1024,
                                      "items": INSTALLER},
                       "ManifestType": manifest_type("installer")},
        "required": {"PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                     "ManifestVersion"},
    },
    "defaultLocale": {
        "type": ("object",),
        "properties": {**PACKAGE, **LOCALE_FIELDS, "Moniker": {},
                       "Publisher": {"type": STRING, "minLength": 2, "maxLength": 256},
                       "PackageName": {"type": STRING, "minLength": 2, "maxLength": 256},
                       "License": {"type": STRING, "minLength": 3, "maxLength": 512},
                       "ShortDescription": {"type": STRING, "minLength": 3, "maxLength": 256},
                       "ManifestType": manifest_type("defaultLocale")},
        "required": {"PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                     "PackageName", "License", "ShortDescription", "ManifestType",
                     "ManifestVersion"},
    },
    "locale": {
        "type": ("object",),
        "properties": {**PACKAGE, **LOCALE_FIELDS,
                       "Publisher": {"type": NULLABLE, "minLength": 2, "maxLength": 256},
                       "PackageName": {"type": NULLABLE, "minLength": 2, "maxLength": 256},
                       "License": {"type": NULLABLE, "minLength": 3, "maxLength": 512},
                       "ShortDescription": {"type": NULLABLE, "minLength": 3, "maxLength": 256},
                       "ManifestType": manifest_type("locale")},
        "required": {"PackageIdentifier", "PackageVersion", "PackageLocale", "ManifestType",
                     "ManifestVersion"},
    },
}

TYPES = {"string": str, "integer": int, "array": list, "object": dict, "null": type(None)}


def broken(value, rule, where="manifest"):
    """Each rule that value breaks, as "where: what"; an empty rule is a field that the schema
    defines and that the release does not write."""
    if not rule:
        return [f"{where}: a field that the release does not write"]
    if not any(isinstance(value, TYPES[kind]) and not isinstance(value, bool)
               for kind in rule["type"]):
        return [f"{where}: {value!r} is not of type {'/'.join(rule['type'])}"]
    found = []
    if "enum" in rule and value not in rule["enum"]:
        found.append(f"{where}: {value!r} is not one of {sorted(rule['enum'])}")
    if isinstance(value, str):
        if "pattern" in rule and not re.search(rule["pattern"], value):
            found.append(f"{where}: {value!r} does not match {rule['pattern']}")
        if len(value) < rule.get("minLength", 0) or len(value) > rule.get("maxLength", len(value)):
            found.append(f"{where}: {len(value)} characters")
    if isinstance(value, int):
        if not rule["minimum"] <= value <= rule["maximum"] or value in rule["not"]:
            found.append(f"{where}: {value} is out of range")
    if isinstance(value, list):
        if not rule.get("minItems", 0) <= len(value) <= rule["maxItems"]:
            found.append(f"{where}: {len(value)} items")
        if rule.get("uniqueItems") and len({repr(item) for item in value}) < len(value):
            found.append(f"{where}: items repeated")
        for at, item in enumerate(value):
            found += broken(item, rule["items"], f"{where}[{at}]")
    if isinstance(value, dict):
        found += [f"{where}: no {name}" for name in sorted(rule.get("required", set()) - set(value))]
        for name, item in value.items():
            if name not in rule["properties"]:
                found.append(f"{where}: {name} is not a field of the schema")
            else:
                found += broken(item, rule["properties"][name], f"{where}.{name}")
    return found
