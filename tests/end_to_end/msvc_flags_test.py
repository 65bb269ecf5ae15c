"""The MSVC branch of the build, pinned here without Microsoft's tools: the project is configured for
Windows with clang-cl, which takes MSVC's command line, and the commands that CMake generates must
link the C runtime in, make reproducible and hardened images, and carry no GCC-only flag. Only
configured, never compiled: compiling would need the Windows SDK."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(os.environ["QUENWICK_SOURCE"])
CLANG_CL = shutil.which("clang-cl") or shutil.which("clang-cl-14")  # Debian's clang-tools


def generated_commands(configuration):
    """The flags of every compile and link of the project's own targets, and the manifest, in a
    fresh configuration for Windows with clang-cl, lld-link and llvm-rc."""
    with tempfile.TemporaryDirectory(prefix="quenwick-msvc-") as build:
        subprocess.run(["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja",
                        "-DCMAKE_SYSTEM_NAME=Windows", f"-DCMAKE_CXX_COMPILER={CLANG_CL}",
                        "-DCMAKE_LINKER=lld-link", "-DCMAKE_RC_COMPILER=llvm-rc",
                        # No MSVC libraries here to link a test program with.
                        "-DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY",
                        f"-DCMAKE_BUILD_TYPE={configuration}", "-DBUILD_TESTING=OFF",
                        "-DQUENWICK_RELEASE=OFF"], check=True, capture_output=True, timeout=300)
        ninja = (Path(build) / "build.ninja").read_text()
        manifest = (Path(build) / "src/quenwick.exe.manifest").read_text()
    compiles = re.findall(r"^build \S+\.obj: CXX_COMPILER__quenwick.*\n(?:  .*\n)*?  FLAGS = (.*)",
                          ninja, re.MULTILINE)
    link, = re.findall(r"^build src/quenwick\.exe: .*\n(?:  .*\n)*?  LINK_FLAGS = (.*)", ninja,
                       re.MULTILINE)
    return compiles, link, manifest


class MsvcFlagsTest(unittest.TestCase):
    def test_runtime_is_linked_in_and_images_are_reproducible_and_hardened(self):
        for configuration, runtime in [("Release", "-MT"), ("Debug", "-MTd")]:
            with self.subTest(configuration):
                compiles, link, manifest = generated_commands(configuration)
                self.assertGreaterEqual(len(compiles), 8, "every source of the program")
                for flags in compiles:
                    words = flags.split()
                    for wanted in [runtime, "/Brepro", "/guard:cf", "/W4", "/permissive-",
                                   "/utf-8"]:
                        self.assertIn(wanted, words)
                    self.assertNotIn("-MD", words)
                    self.assertNotIn("-MDd", words)
                    self.assertFalse([word for word in words if re.match(
                        r"-(f|W[a-z]|static|municode)", word)], "GCC-only flags")
                for wanted in ["/Brepro", "/guard:cf", "/CETCOMPAT", "/DEPENDENTLOADFLAG:0x800"]:
                    self.assertIn(wanted, link.split())
                self.assertNotIn('processorArchitecture="amd64"', manifest,
                                 "the manifest serves any processor")


if __name__ == "__main__":
    unittest.main()
