#!/usr/bin/env python3
"""Writes the starting corpus of the two fuzz targets.

usage: make_starting_corpus.py OUTDIR
OUTDIR/exif gets small JPEG files with EXIF blocks in both byte orders and
every value type in and outside the entry; OUTDIR/rmc gets RMC sentences.
"""
import os
import struct
import sys


def tiff(intel, dirs):
    """dirs: list of (entries, next_index); entry = (tag, type, count, bytes or ('dir', i))."""
    e = '<' if intel else '>'
    offsets, at = [], 8
    for entries, _ in dirs:
        offsets.append(at)
        at += 2 + 12 * len(entries) + 4
        for _, _, _, data in entries:
            if isinstance(data, bytes) and len(data) > 4:
                at += len(data) + (len(data) & 1)
    out = (b'II' if intel else b'MM') + struct.pack(e + 'HI', 42, offsets[0] if offsets else 0)
    for (entries, nxt), off in zip(dirs, offsets):
        out += struct.pack(e + 'H', len(entries))
        data_at = off + 2 + 12 * len(entries) + 4
        blob = b''
        for tag, typ, count, data in entries:
            out += struct.pack(e + 'HHI', tag, typ, count)
            if isinstance(data, tuple):
                out += struct.pack(e + 'I', offsets[data[1]])
            elif len(data) <= 4:
                out += data + b'\0' * (4 - len(data))
            else:
                out += struct.pack(e + 'I', data_at + len(blob))
                blob += data + (b'\0' if len(data) & 1 else b'')
        out += struct.pack(e + 'I', offsets[nxt] if nxt is not None else 0)
        out += blob
    return out


def jpeg(t, before=b''):
    return b'\xff\xd8' + before + b'\xff\xe1' + struct.pack('>H', len(t) + 8) + b'Exif\0\0' + t + b'\xff\xd9'


def photos():
    for intel in (True, False):
        e = '<' if intel else '>'
        ifd0 = [(271, 2, 6, b'Maker\0'), (274, 3, 1, struct.pack(e + 'H', 6)),
                (282, 5, 1, struct.pack(e + 'II', 72, 1)), (296, 3, 3, struct.pack(e + 'HHH', 1, 2, 3)),
                (34665, 4, 1, ('dir', 2)), (34853, 4, 1, struct.pack(e + 'I', 0))]
        ifd1 = [(513, 4, 1, struct.pack(e + 'I', 1000)), (514, 4, 2, struct.pack(e + 'II', 5, 6)),
                (282, 5, 1, struct.pack(e + 'II', 300, 1))]
        exif = [(36867, 2, 20, b'2010:05:01 12:34:56\0'), (36864, 7, 4, b'0230'),
                (37380, 10, 1, struct.pack(e + 'ii', -3, 10)), (37377, 9, 1, struct.pack(e + 'i', -7)),
                (37500, 7, 8, b'NIKON\0\x02\x10'), (41728, 1, 1, b'\x03'), (41729, 6, 6, b'\x01\xff\x02\x03\x04\x05'),
                (37378, 11, 1, struct.pack(e + 'f', 2.5)), (37379, 12, 1, struct.pack(e + 'd', 1.5)),
                (40962, 8, 1, struct.pack(e + 'h', -2))]
        name = 'ii' if intel else 'mm'
        yield name + '_chain', jpeg(tiff(intel, [(ifd0, 1), (ifd1, None), (exif, None)]))
        yield name + '_exif_only', jpeg(tiff(intel, [([(34665, 4, 1, ('dir', 1))], None), (exif, None)]))
        yield name + '_loop', jpeg(tiff(intel, [(ifd0, 1), (ifd1, 0), (exif, 1)]))
        yield name + '_no_terminator', jpeg(tiff(intel, [([(36867, 2, 19, b'2010:05:01 12:34:56')], None)]))
    # Values and blocks past the first few kilobytes of the file.
    yield 'ii_big_makernote', jpeg(tiff(True, [([(271, 2, 6, b'Maker\0'), (37500, 7, 9000, b'm' * 9000),
                                                 (36867, 2, 20, b'2010:05:01 12:34:56\0')], None)]))
    yield 'mm_behind_app2', jpeg(tiff(False, [([(36867, 2, 20, b'2010:05:01 12:34:56\0')], None)]),
                                 b'\xff\xe2\x28\x02' + b'i' * 0x2800)
    yield 'xmp_first', jpeg(tiff(True, [([(36867, 2, 20, b'2010:05:01 12:34:56\0')], None)]),
                            b'\xff\xe1\x00\x1fhttp://ns.adobe.com/xap/1.0/\0')
    yield 'app0_then_exif', jpeg(tiff(False, [([(36867, 2, 20, b'2011:01:01 00:00:00\0')], None)]),
                                 b'\xff\xe0\x00\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0')


RMC = [
    '$GPRMC,235959,A,3150.1234,N,11846.5678,E,0.0,0.0,311210,,,A*74',
    '$GPRMC,160000.000,A,3150.123,N,11846.568,E,0.00,0.00,280212,,*00',
    '$GNRMC,055234.000,A,4739.71890,N,12219.58362,W,0.00,0.00,050826,,,A*6C',
    '$GPRMC,222507.00,A,4249.96542,S,14726.73195,E,0.013,,231019,,,A*6F',
    '$BDRMC,120000,A,3842.86006889,N,11705.43645510,W,,,010510,,',
    '$GPRMC,120000,V,,,,,,,010510,,',
    '$GPRMC,222515.x,A,4249.96551,S,14726.73171,E,0.042,,231019,,,A*18',
    '$GPGGA,120000,3150.1234,N,11846.5678,E,1,08,0.9,545.4,M,46.9,M,,*47',
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else 'fuzz-corpus'
    os.makedirs(os.path.join(out, 'exif'), exist_ok=True)
    os.makedirs(os.path.join(out, 'rmc'), exist_ok=True)
    for name, data in photos():
        with open(os.path.join(out, 'exif', name + '.jpg'), 'wb') as f:
            f.write(data)
    for i, line in enumerate(RMC):
        with open(os.path.join(out, 'rmc', 'line%02d.txt' % i), 'w') as f:
            f.write(line)


if __name__ == '__main__':
    main()
