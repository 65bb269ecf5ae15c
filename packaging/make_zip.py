"""Writes a zip file that depends on nothing but the files' bytes and one given time: each entry
carries that time, no owner, no permissions and no other extra field. CMake's own zip writer takes
access and change times from the file system, so two builds of one commit would differ.

Usage: make_zip.py <zip> <seconds since 1970> <file>..."""

import sys
import time
import zipfile
from pathlib import Path


def main():
    target, epoch, *files = sys.argv[1:]
    stamp = time.gmtime(max(int(epoch), 315532800))[:6]  # a zip holds no time before 1980
    with zipfile.ZipFile(target, "w") as archive:
        for file in map(Path, files):
            entry = zipfile.ZipInfo(file.name, date_time=stamp)
            entry.create_system = 0  # MS-DOS and Windows: the attributes field means nothing here
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, file.read_bytes(), compresslevel=9)


if __name__ == "__main__":
    main()
