"""scripts/screenshots, which only a developer runs by hand, run into a folder of its own on this
build: every picture that it takes is there, a PNG of the size that it should have."""

import importlib.machinery
import importlib.util
import os
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

SCRIPT = Path(os.environ["QUENWICK_SOURCE"]) / "scripts/screenshots"
BUILD = Path(os.environ["QUENWICK_BUILD"])
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def load_script():
    loader = importlib.machinery.SourceFileLoader("screenshots", str(SCRIPT))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


def png_size(path):
    """A PNG's width and height, from its header; None for anything else."""
    head = path.read_bytes()[:24] if path.is_file() else b""
    return struct.unpack(">2I", head[16:24]) if head.startswith(PNG_SIGNATURE) else None


class ScreenshotsTest(unittest.TestCase):
    def test_every_picture_is_taken_at_its_size(self):
        pictures = load_script().PICTURES
        with tempfile.TemporaryDirectory() as output:
            subprocess.run([SCRIPT, "--build", BUILD, output], check=True, timeout=600)
            self.assertEqual(sorted(os.listdir(output)), sorted(pictures))
            sizes = {name: png_size(Path(output) / name) for name in pictures}
        # The icon at 16 and 32 px, each in a tile of 48 px beside itself four times as large.
        self.assertEqual(sizes.pop("icon.png"), (2 * (48 + 4 * 36), 4 * 36))
        for name, size in sizes.items():
            with self.subTest(name):
                self.assertIsNotNone(size)
                width, height = size
                # A box or a window on the virtual screen, with room for its text.
                self.assertTrue(200 <= width <= 1024 and 100 <= height <= 768, size)


if __name__ == "__main__":
    unittest.main()
