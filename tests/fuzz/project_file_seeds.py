#!/usr/bin/env python3
"""Writes a few small project files of every version into the folder given (default: seeds)
as a starting corpus for project_file_fuzz."""
import os
import struct
import sys


def path(text):
    b = text.encode('utf-16-le')
    return b + b'\0' * (520 - len(b))


def settings(with_method):
    body = struct.pack('<I', 3) + path('\\base') + struct.pack('<IIdII', 640, 480, 25.0, 100, 0x112233)
    return body + (struct.pack('<I', 2) if with_method else b'')


def record(start, file_id):
    r = struct.pack('<IIii', 1 | 8, start, file_id, 2) + struct.pack('<qq', 0, 333333)
    r += struct.pack('<iiiiIi', 0, 0, 10, 10, 0xFFFFFF, 1)
    r += struct.pack('<9f', 1, 0, 0, 0, 1, 0, 0, 0, 1) * 2 + struct.pack('<6f', 0, 0, 1, 0, 0, 0)
    return r


def text(file_id, value):
    b = value.encode('utf-16-le')
    size = 4 * (2 * len(value) // 4) + 4
    return (struct.pack('<IIII', 4, file_id, 3, 0x808080) + bytes(92) + struct.pack('<I', size) +
            b + bytes(size - len(b)))


def project(version):
    d = b'MPRJ' + struct.pack('<II', 1, version) + settings(version > 0x10000)
    d += struct.pack('<III', 4, 0, 1) + struct.pack('<q', 400000) + path('\\a.avi')
    d += struct.pack('<I', 0xFF000000)
    d += struct.pack('<III', 4, 1, 2) + path('/b.bmp') + struct.pack('<I', 0x00FF00)
    d += struct.pack('<III', 4, 2, 4) + path('\\effect.so>Blur')
    d += struct.pack('<III', 4, 3, 5) + path('c.xqm') + struct.pack('<I', 0)
    d += text(7, 'abc')
    d += struct.pack('<II', 0, 3) + b'xyz'
    d += struct.pack('<III', 5, 0, 2) + record(0, 0) + record(5, 1)
    d += struct.pack('<III', 5, 255, 1) + record(7, 3)
    d += struct.pack('<II', 6, 63) + record(0, 2)
    return d + struct.pack('<I', 2)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else 'seeds'
    os.makedirs(folder, exist_ok=True)
    for version, name in ((0x20000, 'v20'), (0x10001, 'v11'), (0x10000, 'v10')):
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(project(version))
    with open(os.path.join(folder, 'empty'), 'wb') as f:
        f.write(b'MPRJ' + struct.pack('<II', 1, 0x20000) + settings(True) + struct.pack('<I', 2))


if __name__ == '__main__':
    main()
