"""The guides against the facts that the code defines: the developer's guide names every stop point
that the setup program lists, the admin's guide every file of an install, the admin's guide every exit code, neither types the version, and the
changelog has a section for it, which is the release's text."""

import importlib.util
import os
import re
import unittest

from facts import EXIT, SOURCE, UNINSTALL_KEY, VERSION, listed_by

GUIDES = ["README.md", "docs/deploying.md", "docs/developing.md"]
# As the setup program lists them.
STOPS = listed_by([os.environ["QUENWICK_STOP_POINTS"]])
INSTALL_FILES = listed_by([os.environ["QUENWICK_STOP_POINTS"], "--files"])


def read(path):
    return (SOURCE / path).read_text(encoding="utf-8")


def table_after(text, heading):
    """The first cells of the rows of the first table after heading."""
    section = text[text.index(heading):]
    rows = re.findall(r"^\| *([^|]*?) *\|", section[section.index("\n|"):].split("\n\n")[0],
                      re.MULTILINE)
    return rows[2:]  # past the header and its rule


class GuidesTest(unittest.TestCase):
    def test_the_install_table_names_every_stop_point(self):
        steps = table_after(read("docs/developing.md"), "### The install, step by step")
        named = [stop for step in steps for stop in re.findall(r"\(?`([\w-]+)`\)?", step)]
        self.assertEqual(sorted(named), sorted(STOPS))

    def test_the_admins_guide_names_every_file_of_an_install(self):
        guide = read("docs/deploying.md")
        for name in INSTALL_FILES:
            with self.subTest(name):
                self.assertIn(f"`{name}`", guide)

    def test_the_admins_guide_gives_every_exit_code(self):
        codes = {int(code) for code in table_after(read("docs/deploying.md"), "## Exit codes")}
        self.assertLessEqual(set(EXIT.values()), codes)
        self.assertIn(UNINSTALL_KEY, read("docs/deploying.md"))

    def test_no_guide_types_the_version(self):
        for guide in GUIDES:
            with self.subTest(guide):
                self.assertNotIn(VERSION, read(guide))


    def test_the_changelog_has_a_section_for_the_version(self):
        script = importlib.util.spec_from_file_location("release_notes",
                                                        SOURCE / "packaging/release_notes.py")
        notes = importlib.util.module_from_spec(script)
        script.loader.exec_module(notes)
        changelog = read("CHANGELOG.md")
        self.assertTrue(notes.section(changelog, VERSION), f"no section for {VERSION}")
        self.assertIsNone(notes.section(changelog, "0.0.1"))


if __name__ == "__main__":
    unittest.main()
