"""The flags of both command lines, pinned without building the program: the MSVC branch is
configured for Windows with clang-cl, which takes MSVC's command line, since Microsoft's tools are
not here; its commands must link the C runtime in, make reproducible and hardened images and carry
no GCC-only flag, and its resource compiler must read the resource script as UTF-8. The GCC
branch, configured as the native build is, must keep its own flags. Compiling the rest of the MSVC
branch would need the Windows SDK."""

import contextlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(os.environ["QUENWICK_SOURCE"])
CLANG_CL = shutil.which("clang-cl") or shutil.which("clang-cl-14")  # Debian's clang-tools
FOR_WINDOWS_WITH_CLANG_CL = [
    "-DCMAKE_SYSTEM_NAME=Windows", f"-DCMAKE_CXX_COMPILER={CLANG_CL}", "-DCMAKE_LINKER=lld-link",
    "-DCMAKE_RC_COMPILER=llvm-rc",
    # No MSVC libraries here to link a test program with.
    "-DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY"]


@contextlib.contextmanager
def configured(configuration, *options):
    """The folder of a fresh configuration of the project with options, for Ninja."""
    with tempfile.TemporaryDirectory(prefix="quenwick-flags-") as build:
        subprocess.run(["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja", *options,
                        f"-DCMAKE_BUILD_TYPE={configuration}", "-DBUILD_TESTING=OFF",
                        "-DQUENWICK_RELEASE=OFF"], check=True, capture_output=True, timeout=300)
        yield Path(build)


def generated_commands(configuration, *options):
    """The flags of every compile and of the link of the program, and the manifest if there is
    one, in a fresh configuration of the project with options."""
    with configured(configuration, *options) as build:
        ninja = (build / "build.ninja").read_text()
        manifest = build / "src/quenwick.exe.manifest"
        manifest = manifest.read_text() if manifest.exists() else ""
    compiles = re.findall(
        r"^build \S+\.o(?:bj)?: CXX_COMPILER__quenwick.*\n(?:  .*\n)*?  FLAGS = (.*)", ninja,
        re.MULTILINE)
    links = re.findall(r"^build bin/quenwick(?:\.exe)?: .*\n(?:  .*\n)*?  LINK_FLAGS = (.*)", ninja,
                       re.MULTILINE)
    return [flags.split() for flags in compiles], " ".join(links).split(), manifest


class BuildFlagsTest(unittest.TestCase):
    def test_googletest_warnings_never_fail_the_msvc_build(self):
        with tempfile.TemporaryDirectory(prefix="quenwick-flags-") as build:
            subprocess.run(["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja",
                            "-DQUENWICK_RELEASE=OFF", *FOR_WINDOWS_WITH_CLANG_CL,
                            f"-DCMAKE_C_COMPILER={CLANG_CL}"], check=True,
                           capture_output=True, timeout=300)
            ninja = (Path(build) / "build.ninja").read_text()
        gtest = re.findall(r"^build \S+gtest\S*\.obj: .*\n(?:  .*\n)*?  FLAGS = (.*)", ninja,
                           re.MULTILINE)
        self.assertTrue(gtest, "GoogleTest is built")
        for flags in gtest:
            self.assertNotIn("-WX", flags.split())
            self.assertNotIn("/WX", flags.split())

    def test_msvc_links_the_runtime_in_and_makes_reproducible_hardened_images(self):
        for configuration, runtime in [("Release", "-MT"), ("Debug", "-MTd")]:
            with self.subTest(configuration):
                compiles, link, manifest = generated_commands(configuration,
                                                              *FOR_WINDOWS_WITH_CLANG_CL)
                self.assertGreaterEqual(len(compiles), 8, "every source of the program")
                for flags in compiles:
                    for wanted in [runtime, "/Brepro", "/guard:cf", "/W4", "/permissive-",
                                   "/utf-8"]:
                        self.assertIn(wanted, flags)
                    self.assertNotIn("-MD", flags)
                    self.assertNotIn("-MDd", flags)
                    self.assertFalse([flag for flag in flags if re.match(
                        r"-(f|W[a-z]|static|municode)", flag)], "GCC-only flags")
                for wanted in ["/Brepro", "/guard:cf", "/CETCOMPAT", "/DEPENDENTLOADFLAG:0x800"]:
                    self.assertIn(wanted, link)
                self.assertNotIn('processorArchitecture="amd64"', manifest,
                                 "the manifest serves any processor")

    def test_msvc_resource_compiler_reads_the_script_as_utf8(self):
        # LLVM's resource compiler in place of Microsoft's, and MinGW-w64's windows.h in place of
        # the Windows SDK's.
        with configured("Release", *FOR_WINDOWS_WITH_CLANG_CL,
                        "-DCMAKE_RC_FLAGS=-I/usr/share/mingw-w64/include") as build:
            resources = "src/CMakeFiles/quenwick.dir/quenwick_resources_win32.rc.res"
            subprocess.run(["ninja", "-C", build, resources], check=True, capture_output=True,
                           timeout=300)
            self.assertIn("Copyright © ".encode("utf-16-le"), (build / resources).read_bytes())

    def test_gcc_keeps_its_own_flags(self):
        # The C++ runtime linked in keeps a pass as quick as a C program's; no folder of the build
        # machine in the binary keeps two checkouts' bytes the same.
        compiles, link, _ = generated_commands("RelWithDebInfo")
        for flags in compiles:
            self.assertTrue([flag for flag in flags if flag.startswith("-ffile-prefix-map=")])
        self.assertIn("-static-libstdc++", link)


if __name__ == "__main__":
    unittest.main()
