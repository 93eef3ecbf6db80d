#!/usr/bin/env python3
"""Prints the Authenticode SHA-256 digest of each Windows program named:

    python3 scripts/authenticode-digest.py "Quelvane 2.exe" [MORE.exe ...]

one line per program, "DIGEST  FILE" in upper-case hexadecimal as
`osslsigncode verify` prints it ("Current message digest").  The digest
is the one that a signature signs, and it leaves the signature out, so a
program that was signed and the same program unsigned have the same digest:
signed or not, it shows that a program in the release is the program that
these sources build.

What is hashed (Microsoft's "Windows Authenticode Portable Executable
Signature Format"): the whole file but the optional header's CheckSum, the
certificate table's entry in the data directories and the certificate table
itself, which lies at the end of the file.  A signing tool first pads an
unsigned file to a multiple of 8 bytes, where the table begins, and the
padding is hashed; an unsigned file is hashed with that padding here too.
"""

import hashlib
import struct
import sys

CERTIFICATE_TABLE = 4  # IMAGE_DIRECTORY_ENTRY_SECURITY


class NotAProgram(Exception):
    pass


def authenticode_digest(data):
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise NotAProgram("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotAProgram("no PE signature")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic == 0x10B:  # PE32
        directories = optional + 96
    elif magic == 0x20B:  # PE32+
        directories = optional + 112
    else:
        raise NotAProgram("unknown optional header magic 0x%X" % magic)
    count = struct.unpack_from("<I", data, directories - 4)[0]
    if count <= CERTIFICATE_TABLE:
        raise NotAProgram("no certificate table entry in the data directories")
    checksum = optional + 64
    entry = directories + 8 * CERTIFICATE_TABLE
    table, size = struct.unpack_from("<II", data, entry)
    if table:
        if table + size != len(data):
            raise NotAProgram("the certificate table is not at the end of the file")
        end = table
        padding = b""
    else:
        end = len(data)
        padding = b"\0" * (-len(data) % 8)
    digest = hashlib.sha256()
    digest.update(data[:checksum])
    digest.update(data[checksum + 4:entry])
    digest.update(data[entry + 8:end])
    digest.update(padding)
    return digest.hexdigest().upper()


def main(paths):
    if not paths:
        print("usage: authenticode-digest.py PROGRAM.exe [...]", file=sys.stderr)
        return 2
    status = 0
    for path in paths:
        try:
            with open(path, "rb") as program:
                print("%s  %s" % (authenticode_digest(program.read()), path))
        except (OSError, NotAProgram, struct.error) as problem:
            print("authenticode-digest.py: %s: %s" % (path, problem), file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
