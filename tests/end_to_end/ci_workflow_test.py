"""The CI workflow against the tree, since its Windows jobs run only on GitHub: every path that its
commands name is a file of the repository, an output of the preset that the job builds, or the
folder that the job downloads the release into; the release is checked even when the build before
it failed; each Windows job's image carries the Visual Studio that its preset names; every action
runs on Node 24; each artifact downloaded is one that a job that the downloader needs uploaded,
with actions of one generation, and an upload that finds nothing fails; a newer push cancels the
run before it; the test results are kept; the release job runs on tags alone and is the only job
that may write; Dependabot keeps the actions current; and the release is made only once the tests
of its commit pass, with only the packages that it needs, no expression written into a step's
script, and replacing its files when it is run again. The msvc presets' layout is configured here
with clang-cl in CMake's Ninja Multi-Config generator, which puts each configuration's programs in a
folder of its own as Visual Studio's does."""

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
RELEASE = yaml.safe_load((SOURCE / ".github/workflows/release.yml").read_text())
DEPENDABOT = yaml.safe_load((SOURCE / ".github/dependabot.yml").read_text())
PRESETS = json.loads((SOURCE / "CMakePresets.json").read_text())
# The Visual Studio that each of GitHub's Windows images carries, as the images' announcements say:
# 2026 came to windows-2025 (and windows-latest) in June 2026, replacing 2022 there.
VISUAL_STUDIO_OF_IMAGE = {"windows-2025": "Visual Studio 18 2026",
                          "windows-2022": "Visual Studio 17 2022"}
# The first major version of each action that runs on Node 24; GitHub's runners have no Node 20.
FIRST_ON_NODE_24 = {"actions/checkout": 5, "actions/setup-python": 6,
                    "actions/upload-artifact": 6, "actions/download-artifact": 7,
                    "actions/attest-build-provenance": 3}
# Version 4 of the artifact actions began a storage of their own: a download finds only what an
# upload of the same generation stored.
FIRST_OF_ARTIFACT_GENERATION = 4


def preset(kind, name):
    return next(entry for entry in PRESETS[kind] if entry["name"] == name)


def configure_preset(name):
    """The configure preset of that name, with what it inherits."""
    entry = preset("configurePresets", name)
    return {**(configure_preset(entry["inherits"]) if "inherits" in entry else {}), **entry}


def jobs(workflow=WORKFLOW):
    """Each job that the workflow runs, as (name, job): one for each entry of a job's matrix, with
    ${{ matrix.NAME }} in its texts replaced by the entry's value."""
    for name, job in workflow["jobs"].items():
        for entry in job.get("strategy", {}).get("matrix", {}).get("include", [{}]):
            text = json.dumps(job)
            for key, value in entry.items():
                text = text.replace("${{ matrix.%s }}" % key, value)
            yield f"{name} {entry}" if entry else name, json.loads(text)


def action(step):
    """The action that a step uses and its major version, or (None, 0)."""
    found = re.fullmatch(r"(.+)@v(\d+)", step.get("uses", ""))
    return (found[1], int(found[2])) if found else (None, 0)


def msvc_outputs(name):
    """The programs that an msvc preset builds, as paths from the source folder."""
    configuration = preset("buildPresets", name)["configuration"]
    binary_dir = configure_preset(name)["binaryDir"].replace("${sourceDir}/", "")
    with tempfile.TemporaryDirectory(prefix="quenwick-msvc-layout-") as build:
        subprocess.run(["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja Multi-Config",
                        f"-DCMAKE_CONFIGURATION_TYPES={configuration}", "-DQUENWICK_RELEASE=OFF",
                        *FOR_WINDOWS_WITH_CLANG_CL, f"-DCMAKE_C_COMPILER={CLANG_CL}"],
                       check=True, capture_output=True, timeout=300)
        ninja = (Path(build) / f"build-{configuration}.ninja").read_text()
    return {f"{binary_dir}/{output}" for output in re.findall(r"\b(bin/[^\s:|]+)", ninja)}


class CiWorkflowTest(unittest.TestCase):
    def test_every_path_that_a_step_names_is_there_or_made_before_it(self):
        for job_name, job in jobs():
            downloaded = {step["with"]["path"] for step in job.get("steps", [])
                          if step.get("uses", "").startswith("actions/download-artifact")}
            built = set()
            for step in job.get("steps", []):
                words = shlex.split(step.get("run", ""))
                paths = [step.get("with", {}).get("path", "")]
                for option, value in zip([""] + words, words):
                    if option == "--preset":
                        with self.subTest(job_name, preset=value):
                            preset("workflowPresets", value)
                            if value.startswith("msvc"):
                                built |= msvc_outputs(value)
                    elif value[0] not in "-$" and (option.startswith("--") or "/" in value):
                        paths.append(value)
                for word in filter(None, paths):
                    word = word.rstrip("/")
                    if word.endswith("/junit.xml") or word.endswith("/Testing/Temporary"):
                        continue  # what CTest writes where its test preset says
                    with self.subTest(job_name, path=word):
                        if word.startswith("build/msvc/"):
                            self.assertTrue({f"{word}/{name}" for name in PROGRAMS.values()}
                                            <= built, f"{word} is not where msvc builds")
                        elif word.startswith("build/"):  # the release that scripts/test makes
                            self.assertTrue((SOURCE / word).samefile(DIST))
                        else:
                            self.assertTrue((SOURCE / word).exists() or word in downloaded)

    def test_each_windows_job_builds_with_the_visual_studio_of_its_image(self):
        windows = [(name, job) for name, job in jobs() if job["runs-on"].startswith("windows")
                   and "--preset" in json.dumps(job)]
        self.assertEqual({job["runs-on"] for _, job in windows}, set(VISUAL_STUDIO_OF_IMAGE))
        for name, job in windows:
            built = [word for step in job.get("steps", []) for option, word in
                     zip([""] + shlex.split(step.get("run", "")), shlex.split(step.get("run", "")))
                     if option == "--preset"]
            with self.subTest(name):
                self.assertEqual([configure_preset(word)["generator"] for word in built],
                                 [VISUAL_STUDIO_OF_IMAGE[job["runs-on"]]])

    def test_every_action_runs_on_node_24(self):
        for name, job in [*jobs(), *jobs(RELEASE)]:
            for step in job.get("steps", []):
                used, major = action(step)
                if used:
                    with self.subTest(name, action=step["uses"]):
                        self.assertGreaterEqual(major, FIRST_ON_NODE_24[used])

    def test_every_artifact_downloaded_was_uploaded_before_by_its_generation(self):
        uploaded = {}
        for name, job in WORKFLOW["jobs"].items():
            for step in job.get("steps", []):
                if action(step)[0] == "actions/upload-artifact":
                    uploaded[step["with"]["name"]] = (name, action(step)[1])
        for name, job in jobs():
            for step in job.get("steps", []):
                if action(step)[0] == "actions/download-artifact":
                    with self.subTest(name, artifact=step["with"]["name"]):
                        uploader, major = uploaded[step["with"]["name"]]
                        needs = job.get("needs", [])
                        self.assertIn(uploader, [needs] if isinstance(needs, str) else needs)
                        self.assertEqual(major >= FIRST_OF_ARTIFACT_GENERATION,
                                         action(step)[1] >= FIRST_OF_ARTIFACT_GENERATION)

    def test_windows_builds_at_once_and_installs_the_release_of_the_debian_job(self):
        self.assertNotIn("needs", WORKFLOW["jobs"]["windows-build"])
        self.assertEqual(WORKFLOW["jobs"]["windows-install"]["needs"], "linux")

    def test_a_newer_push_cancels_the_run_before_it(self):
        self.assertEqual(WORKFLOW["concurrency"],
                         {"group": "${{ github.workflow }}-${{ github.ref }}",
                          "cancel-in-progress": True})

    def test_every_upload_that_finds_nothing_fails_and_test_results_are_kept(self):
        self.assertEqual(preset("testPresets", "native")["output"]["outputJUnitFile"], "junit.xml")
        for name, job in [*jobs(), *jobs(RELEASE)]:
            uploads = [step for step in job.get("steps", [])
                       if action(step)[0] == "actions/upload-artifact"]
            for step in uploads:
                with self.subTest(name, upload=step["with"]["name"]):
                    self.assertEqual(step["with"].get("if-no-files-found"), "error")
            if "--preset" in json.dumps(job) or ".ci/run" in json.dumps(job):
                with self.subTest(name):
                    self.assertTrue(any(step["with"]["path"].endswith("junit.xml")
                                        for step in uploads))

    def test_only_the_release_job_writes_and_only_on_tags(self):
        self.assertEqual(RELEASE[True], {"push": {"tags": ["v*"]}})  # YAML reads "on" as true
        for workflow in [WORKFLOW, RELEASE]:
            self.assertEqual(workflow["permissions"], {"contents": "read"})
        for name, job in [*jobs(), *jobs(RELEASE)]:
            writes = {scope for scope, access in job.get("permissions", {}).items()
                      if access == "write"}
            with self.subTest(name):
                self.assertEqual(writes, {"contents", "id-token", "attestations"}
                                 if name == "release" else set())

    def test_the_release_is_made_only_once_the_tests_of_its_commit_pass(self):
        self.assertEqual(RELEASE["jobs"]["tests"], {"uses": "./.github/workflows/ci.yml"})
        self.assertEqual(RELEASE["jobs"]["release"]["needs"], "tests")
        self.assertIn("workflow_call", WORKFLOW[True])
        # A tag's push runs the tests once, through the release.
        self.assertEqual(WORKFLOW[True]["push"], {"branches": ["**"]})

    def test_no_script_of_a_step_holds_an_expression(self):
        # An expression is written into the script before it runs: a tag named `v1;rm -rf .` would
        # be a command. What a step needs reaches it in its environment.
        for name, job in [*jobs(), *jobs(RELEASE)]:
            for step in job.get("steps", []):
                with self.subTest(name, step=step.get("name", step.get("uses"))):
                    self.assertNotIn("${{", step.get("run", ""))

    def test_the_release_job_installs_only_what_a_release_needs(self):
        listed = subprocess.run(["sh", SOURCE / "scripts/install-packages", "--list", "release"],
                                capture_output=True, text=True, check=True).stdout.split()
        everything = subprocess.run(["sh", SOURCE / "scripts/install-packages", "--list"],
                                    capture_output=True, text=True, check=True).stdout.split()
        self.assertLess(set(listed), set(everything))
        self.assertEqual(set(listed) & {"wine", "wine64", "xvfb", "imagemagick", "npm"}, set())
        self.assertIn("osslsigncode", listed)

    def test_a_release_run_again_replaces_its_files(self):
        # gh as the release job has it, played by a script that records what it is asked and says
        # whether the release is there.
        with tempfile.TemporaryDirectory() as folder:
            folder = Path(folder)
            (folder / "gh").write_text('#!/bin/sh\necho "$*" >>"$GH_CALLS"\n'
                                       '[ "$1 $2" != "release view" ] || [ -n "$RELEASE_THERE" ]\n')
            (folder / "gh").chmod(0o755)
            for there, expected in [
                ("", ["release view v1.0.0 --repo o/q",
                      "release create v1.0.0 --repo o/q --title Quenwick v1.0.0 --notes-file "
                      "build/release/notes.md build/release/dist/"]),
                ("yes", ["release view v1.0.0 --repo o/q",
                         "release upload v1.0.0 --repo o/q --clobber build/release/dist/",
                         "release edit v1.0.0 --repo o/q --notes-file build/release/notes.md"]),
            ]:
                with self.subTest(there=bool(there)):
                    calls = folder / f"calls{there}"
                    subprocess.run(["sh", SOURCE / "scripts/publish", "v1.0.0"], check=True,
                                   env={**os.environ, "PATH": f"{folder}:{os.environ['PATH']}",
                                        "GH_CALLS": str(calls), "RELEASE_THERE": there,
                                        "REPOSITORY": "o/q"})
                    said = calls.read_text().splitlines()
                    self.assertEqual(len(said), len(expected), said)
                    for call, start in zip(said, expected):
                        self.assertTrue(call.startswith(start), call)

    def test_dependabot_keeps_the_actions_current(self):
        self.assertIn({"package-ecosystem": "github-actions", "directory": "/",
                       "schedule": {"interval": "weekly"}}, DEPENDABOT["updates"])


if __name__ == "__main__":
    unittest.main()
