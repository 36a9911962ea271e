#!/usr/bin/python3
"""Peak memory of packages that are nearly all index.

Writes two packages of 60 MB into a temporary folder: 5,000,000 records
naming nothing (empty names) and 3,750,000 records with distinct four-byte
names, all of stored size 0. Then runs `kavrel /package /data P` and
`kavrel-pack verify P` on each under /usr/bin/time and prints the peak
resident memory (maximum RSS) and wall time of each run beside the bound of
64 MB plus four times the file size.

Usage: bench/index_heavy_package.py BIN_FOLDER   (the build's bin folder)
"""
import os
import struct
import subprocess
import sys
import tempfile


def write_package(path, records):
    index = b"".join(records)
    with open(path, "wb") as out:
        out.write(struct.pack("<HBBI", 0x01F0, 0, 1, len(index)))
        out.write(index)


def record(name):
    return struct.pack("<H", len(name)) + name + struct.pack("<BBII", 0, 0, 0, 0)


def peak(command):
    result = subprocess.run(["/usr/bin/time", "-f", "%M %e"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, check=False)
    kilobytes, seconds = result.stderr.strip().splitlines()[-1].split()
    return int(kilobytes) / 1024, float(seconds)


def main():
    bin_folder = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    with tempfile.TemporaryDirectory() as folder:
        packages = {
            "5,000,000 empty names": [record(b"")] * 5_000_000,
            "3,750,000 distinct four-byte names": [record(struct.pack("<I", i)) for i in range(3_750_000)],
        }
        for what, records in packages.items():
            path = os.path.join(folder, "index-heavy.bin")
            write_package(path, records)
            size = os.path.getsize(path) / (1 << 20)
            bound = 64 + 4 * size
            for name, command in (("kavrel /package", [os.path.join(bin_folder, "kavrel"), "/package", "/data", path]),
                                  ("kavrel-pack verify", [os.path.join(bin_folder, "kavrel-pack"), "verify", path])):
                mib, seconds = peak(command)
                print(f"{what} ({size:.1f} MiB): {name}: peak {mib:.0f} MiB in {seconds:.1f} s"
                      f" (bound {bound:.0f} MiB)")


if __name__ == "__main__":
    main()
