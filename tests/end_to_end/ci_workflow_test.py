"""The CI workflow against the tree, since its Windows job runs only on GitHub: every path that its
commands name is a file of the repository, an output of the preset that the job builds, or the
folder that the job downloads the release into; and the release is checked even when the build
before it failed. The msvc preset's layout is configured here with clang-cl in CMake's Ninja
Multi-Config generator, which puts each configuration's programs in a folder of its own as Visual
Studio's does."""

import json
import os
import re
import shlex
import subprocess
import tempfile
import unittest
from pathlib import Path

import yaml

from build_flags_test import CLANG_CL, FOR_WINDOWS_WITH_CLANG_CL
from windows_smoke import PROGRAMS

SOURCE = Path(os.environ["QUENWICK_SOURCE"])
DIST = Path(os.environ["QUENWICK_DIST"])
WORKFLOW = yaml.safe_load((SOURCE / ".github/workflows/ci.yml").read_text())
PRESETS = json.loads((SOURCE / "CMakePresets.json").read_text())


def preset(kind, name):
    return next(entry for entry in PRESETS[kind] if entry["name"] == name)


def msvc_outputs():
    """The programs that the msvc preset builds, as paths from the source folder."""
    configuration = preset("buildPresets", "msvc")["configuration"]
    binary_dir = preset("configurePresets", "msvc")["binaryDir"].replace("${sourceDir}/", "")
    with tempfile.TemporaryDirectory(prefix="quenwick-msvc-layout-") as build:
        subprocess.run(["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja Multi-Config",
                        f"-DCMAKE_CONFIGURATION_TYPES={configuration}", "-DQUENWICK_RELEASE=OFF",
                        *FOR_WINDOWS_WITH_CLANG_CL, f"-DCMAKE_C_COMPILER={CLANG_CL}"],
                       check=True, capture_output=True, timeout=300)
        ninja = (Path(build) / f"build-{configuration}.ninja").read_text()
    return {f"{binary_dir}/{output}" for output in re.findall(r"\b(bin/[^\s:|]+)", ninja)}


class CiWorkflowTest(unittest.TestCase):
    def test_every_path_that_a_step_names_is_there_or_made_before_it(self):
        built = msvc_outputs()
        for job_name, job in WORKFLOW["jobs"].items():
            downloaded = {step["with"]["path"] for step in job["steps"]
                          if step.get("uses", "").startswith("actions/download-artifact")}
            for step in job["steps"]:
                words = shlex.split(step.get("run", ""))
                paths = [step.get("with", {}).get("path", "")]
                for option, value in zip([""] + words, words):
                    if option == "--preset":
                        with self.subTest(job_name, preset=value):
                            preset("workflowPresets", value)
                    elif value[0] not in "-$" and (option.startswith("--") or "/" in value):
                        paths.append(value)
                for word in filter(None, paths):
                    word = word.rstrip("/")
                    with self.subTest(job_name, path=word):
                        if word.startswith("build/msvc/"):
                            self.assertTrue({f"{word}/{name}" for name in PROGRAMS.values()}
                                            <= built, f"{word} is not where msvc builds")
                        elif word.startswith("build/"):  # the release that scripts/test makes
                            self.assertTrue((SOURCE / word).samefile(DIST))
                        else:
                            self.assertTrue((SOURCE / word).exists() or word in downloaded)

    def test_release_is_installed_on_windows_even_when_the_build_failed(self):
        steps = WORKFLOW["jobs"]["windows"]["steps"]
        release = [step for step in steps if "--dist" in step.get("run", "")
                   or "download-artifact" in step.get("uses", "")]
        self.assertEqual(len(release), 2)
        for step in release:
            self.assertIn("!cancelled()", step.get("if", ""))


if __name__ == "__main__":
    unittest.main()
