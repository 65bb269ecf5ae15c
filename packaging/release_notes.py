"""Prints the section of CHANGELOG.md for a version, without its heading: the text of that
version's release. Fails when the changelog has no section for it.

Usage: release_notes.py <CHANGELOG.md> <version>"""

import re
import sys
from pathlib import Path


def section(changelog, version):
    """The section's text, or None when there is none."""
    found = re.search(rf"^## \[{re.escape(version)}\][^\n]*\n(.*?)(?=^## |\Z)", changelog,
                      re.MULTILINE | re.DOTALL)
    return found[1].strip() + "\n" if found else None


def main():
    changelog, version = sys.argv[1:]
    text = section(Path(changelog).read_text(encoding="utf-8"), version)
    if text is None:
        sys.exit(f"{changelog} has no section for version {version}")
    sys.stdout.write(text)


if __name__ == "__main__":
    main()
