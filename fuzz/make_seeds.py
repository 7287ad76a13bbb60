#!/usr/bin/python3
"""Writes the seed corpus of the fuzz targets: the edge cases of the path
rules and of the font manifest, in each target's input format (described at
the top of its source). Run from anywhere; rewrites fuzz/corpus/.

    python3 fuzz/make_seeds.py
"""

import hashlib
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

SINGLE, CP932, CP936, MAP = 0, 1, 2, 3


def path_case(path, mode=SINGLE, capacity=260, join=(b"", b"", b"", b""),
              absent_outputs=0, absent_inputs=0, lead_bytes=()):
    head = bytes([mode | absent_outputs << 2]) + struct.pack("<H", capacity)
    head += bytes([absent_inputs])
    if mode == MAP:
        bitmap = bytearray(32)
        for byte in lead_bytes:
            bitmap[byte // 8] |= 1 << (byte % 8)
        head += bytes(bitmap)
    return head + b"\0".join((path,) + tuple(join))


PATH_CASES = [
    path_case(b""),
    path_case(b"C:"),
    path_case(b"C:readme.txt"),
    path_case(b"x"),
    path_case(b"1:abc"),
    path_case(b"E:\\setup\\launch.exe", join=(b"E:", b"\\setup\\", b"", b"")),
    path_case(b"\\\\server\\share\\cd\\launch.exe"),
    path_case(b"\\my.dir\\readme"),
    path_case(b"archive.tar.gz"),
    path_case(b"\\dir\\.profile"),
    path_case(b"name."),
    path_case(b"C:\\dir\\"),
    path_case(b"\\a/b\\c.d"),
    path_case(b"\\dir\\" + b"n" * 300 + b".ttf"),
    path_case(b"D:\\" + b"d" * 254 + b"\\" + b"b" * 255 + b"." + b"e" * 254, capacity=599),
    path_case(b"fonts\\sample.ttf", join=(b"C", b"\\WINDOWS\\FONTS", b"sample", b"ttf")),
    path_case(b"", join=(b"", b"\\dir/", b"sample", b".ttf")),
    path_case(b"", join=(b"", b"", b"sample", b"")),
    path_case(b"", absent_inputs=15),
    path_case(b"C:\\WINDOWS\\FONTS\\SAMPLE.TTF", absent_outputs=0b1011),
    path_case(b"C:\\" + b"p" * 250 + b".exe", capacity=259),
    # Code page 932: a trail byte 0x5C is no separator, in a split or a join.
    path_case(b"C:\\\x83\x5C\\f.txt", mode=CP932, join=(b"", b"\x83\x5C", b"f", b"txt")),
    path_case(b"\x81:rest\\x", mode=CP932),
    path_case(b"dir\\end\x81", mode=CP932),
    path_case(b"", mode=CP932, join=(b"", b"\x81", b"x", b"")),
    path_case(b"\\" + b"\x88\x9f" * 130 + b".t", mode=CP936),
    path_case(b"a\x81\x81\x81\\b.c", mode=MAP, lead_bytes=(0x81, 0x5C, 0x2E),
              join=(b"", b"\x81\x81\x81\\", b"b", b"")),
]


def manifest_case(manifest, values=(), flags=0, fault_call=1):
    data = bytes([flags, fault_call - 1, len(values)])
    for kind, name, value in values:
        data += bytes([kind, len(name)]) + name + struct.pack("<H", len(value)) + value
    return data + manifest


REG_SZ, REG_BINARY, REG_DWORD = 1, 3, 4
NO_KEY, NO_MANIFEST, KEEP_FAILING = 16, 32, 64
# Indexes into the fault list of manifest_fuzz.cpp.
CREATE_FILE, READ_FILE, WRITE_FILE, REG_ENUM, LOCAL_ALLOC = 2, 3, 4, 8, 10

MANIFEST_CASES = [
    manifest_case(b""),
    manifest_case(b"Sample (TrueType),a.ttf\r\nBig,fonts\\B.TTF\r\n"),
    manifest_case(b"Sample,a.ttf\nSample again,A.TTF\n"),
    manifest_case(b"A,B,C\n Name , x.ttf\n,lead-comma.ttf\ntrailing,\nno comma\n\n"),
    manifest_case(b"one,missing.ttf\r\ntwo,\rcr.ttf\r\r\nthree,z.ttf\x1aafter,ctrlz.ttf\n"),
    manifest_case(b"x" * 258 + b",\n" + b"v," + b"p" * 300 + b"\n" + b"n" * 259 + b"\nlast,l.ttf"),
    manifest_case(b"nul,be\0fore.ttf\nafter,ok.ttf"),
    manifest_case(b"Folder,dir.ttf\n"),
    manifest_case(b"Sample,a.ttf\n", values=[(REG_SZ, b"Sample", b"C:\\WINDOWS\\FONTS\\A.FON\0")]),
    manifest_case(b"Sample,a.ttf\n", values=[(REG_BINARY, b"", b"\x00\xff a"),
                                             (REG_DWORD, b"n" * 200, b"\x01\x00\x00\x00"),
                                             (REG_SZ, b"long", b"d" * 600)]),
    manifest_case(b"Sample,a.ttf\n", flags=NO_KEY),
    manifest_case(b"", flags=NO_MANIFEST),
    manifest_case(b"Big,fonts\\B.TTF\n", flags=WRITE_FILE, fault_call=2),
    manifest_case(b"Sample,a.ttf\nBig,fonts\\B.TTF\n", flags=CREATE_FILE, fault_call=3),
    manifest_case(b"Sample,a.ttf\n" * 3, flags=READ_FILE | KEEP_FAILING, fault_call=2),
    manifest_case(b"Sample,a.ttf\n", values=[(REG_SZ, b"v", b"x\0")], flags=REG_ENUM),
    manifest_case(b"Sample,a.ttf\n", flags=LOCAL_ALLOC),
]


def write(target, cases):
    folder = os.path.join(CORPUS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for case in cases:
        name = hashlib.sha1(case).hexdigest()
        with open(os.path.join(folder, name), "wb") as out:
            out.write(case)


write("fuzz_pathrules", PATH_CASES)
write("fuzz_manifest", MANIFEST_CASES)
