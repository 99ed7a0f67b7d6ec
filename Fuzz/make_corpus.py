#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into Fuzz/corpus/<target>/.

Seeds are small valid inputs in each target's input layout (see the comment
at the top of each target). Run once after changing a layout; the files are
checked in.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u32(v):
    return struct.pack('<I', v & 0xFFFFFFFF)


def text(s):
    b = s.encode('latin-1') if isinstance(s, str) else s
    return u32(len(b)) + b


def archive(files, dirs=()):
    """An archive of (name, bytes) files and (name, archive bytes) nested ones."""
    data, entries = b'', []
    for name, body, nested in [(n, b, 0) for n, b in files] + [(n, b, 1) for n, b in dirs]:
        entries.append((name, 32 + len(data), len(body), nested))
        data += body
    directory = b''.join(name.encode().ljust(256, b'\0') + u32(off) + u32(size) +
                         bytes([flags]) + bytes(11) for name, off, size, flags in entries)
    total = 32 + len(data) + len(directory)
    header = b'ARCX' + bytes([1, 0]) + u32(total) + u32(32 + len(data)) + u32(len(entries)) + bytes(14)
    return header + data + directory


def prop_int(v, fmt=''):
    return u32(0x69) + u32(v) + text(fmt)


def prop_bool(v):
    return u32(0x62) + bytes([v]) + text('')


def prop_string(s, fmt=''):
    return u32(0x73) + text(s) + text(fmt)


def record(fields):
    return b''.join(fields)


LZRW_100_A = (bytes([0, 0, 0, 0]) + struct.pack('<H', 0x007E) + b'A' + bytes([0x0F, 0x01]) +
              bytes([0x0F, 0x10]) * 5 + b'AAA')

SEEDS = {
    'archive': {
        'empty': archive([]),
        'file_and_empty_folder': archive([('a.txt', b'abc')], [('sub', archive([]))]),
        'nested_file': archive([('readme', b'top\n')],
                               [('Textures', archive([('wall.tga', bytes(range(16)))]))]),
        'two_files': archive([('x.cfg', b'speed = 3;\n'), ('y.bin', bytes(40))]),
    },
    'lzrw': {
        'decompress_100_A': bytes([0]) + struct.pack('<H', 100) + LZRW_100_A,
        'decompress_copy_block': bytes([0]) + struct.pack('<H', 8) + bytes([1, 0, 0, 0]) + b'copy',
        'roundtrip_text': bytes([1, 0, 0]) + b'the quick brown fox jumps over the lazy dog ' * 4,
        'roundtrip_runs': bytes([1, 0, 0]) + b'A' * 100 + bytes(range(64)) + b'B' * 50,
        'roundtrip_small_room': bytes([3]) + struct.pack('<H', 40) + b'abcabcabcabcabcabcabcabcabcabcabc',
    },
    'datastream': {
        'property_int': bytes([0]) + prop_int(7, '%x'),
        'property_string': bytes([0]) + prop_string('ab', '[%s]'),
        'params': bytes([1]) + b'v' + u32(2) + u32(256) + prop_int(7) + u32(256) + prop_bool(1),
        'manager': bytes([2]) + b'm' + u32(2) + text('ab') + u32(256) + prop_int(7) +
                   text('name') + u32(256) + prop_string('x'),
        'dataformat': bytes([3]) + b'F' + text('Unit') + u32(2) + b'AAAA' + b'BBBB',
        'strings': bytes([4]) + text('abc') + text('') + u32(0xFFFFFFFF) + u32(17) + text('x'),
        'fourccs': bytes([5]) + b'RIFFWAVEfmt ',
        'mixed': bytes([6]) + bytes([5]) + u32(2) + bytes([0]) + text('in') + bytes([5]) + u32(5) +
                 bytes([1]) + b'CODE' + bytes([6, 6, 7]) + prop_int(1),
    },
    'fileio_text': {
        'numbers': bytes([3, 0x03, 0x02, 0x01, 0x00]) + b'7; 2.5000; -3; 0x1F;',
        'strings': bytes([1, 0x04, 0x05]) + b'  // note\n "a\\tb" junk ; x',
        'constants': bytes([2, 0x27, 0x08, 0x09]) + b'a// c\nb;',
        'shift_jis': bytes([0x81, 0x67, 0x04]) + b'a\x82 "\x82\\"; ',
        'binary': bytes([1, 0x0A, 0x0E]) + text('abc') + bytes(12),
    },
    'tokenizer': {
        'defaults': bytes([0x23, 0x00, 0]) + b'foo bar 42 3.25 "a\\tb" // c\n/* d */ x1_y',
        'lexer': bytes([0xA3, 0x01, 0, 2, 5]) + b'begin' + bytes([3]) + b'end' +
                 b'begin x := 1..5; a<=b <> c >= d\nend',
        'textblocks': bytes([0x28, 0x06, 0]) + b'{! hello !} {!a!!}!} \'abc\' 7. 1.2.3',
        'shift_jis_lower': bytes([0x63, 0x00, 1]) + b'ABC\x82\xa0XYZ "\x82\\" \x82',
        'pascal_asm': bytes([0x95, 0x02, 0]) + b'{ skip } a ; comment\r\nb\tc',
    },
    'path': {
        'drive': bytes([0, 1]) + b'b' + bytes([6, 9, 13, 12, 0, 16, 17]) + bytes(24) + b'C:\\dir\\file.txt',
        'unc': bytes([0, 2]) + b'\\x' + bytes([3, 19, 7, 8]) + bytes(12) + b'\\\\server\\share',
        'mixed': bytes([0, 3]) + b'a/b' + bytes([2, 9, 11]) + bytes(8) + b'a\\\\b/x.tar.gz',
        'shift_jis': bytes([1, 0, 3, 15, 12, 7]) + bytes(12) + b'C:\\\x83\\\x95\\\x82',
    },
    'string': {
        'single_byte': bytes([0, 4, 0, 2, 9, 13]) + bytes(32) + bytes([1]) + b'a' + b'banana',
        'shift_jis': bytes([1, 3, 13, 11, 10]) + bytes(24) + bytes([2, 0x82, 0xA0]) +
                     b'  \x82\xa0\x82\xa2abc\x81',
        'numbers': bytes([0, 1, 21]) + u32(10) + u32(0) + bytes([0]) + b'0x1f',
    },
    'logrecord': {
        'entry': record([text('HOST'), text('game'), u32(1234), u32(5), text('98765'),
                         text('Loader'), text('Load.cpp'), u32(42), text('file missing')]),
        'empty_texts': record([text(''), text(''), u32(0), u32(0xFFFFFFFF), text('-1'),
                               text(''), text(''), u32(0), text('')]),
    },
    'pipe': {
        'typed': bytes([10, 4, 10, 0, 1, 2, 3, 5, 6, 7, 8, 9]) + u32(7) + text('abc') +
                 b'\x01x' + struct.pack('<hHiIiIfd', -2, 2, -3, 3, -4, 4, 1.5, 2.25),
        'texts': bytes([2, 10, 10, 0x3B]) + text('') + text('hello') + b'raw',
    },
}


def main():
    for target, seeds in SEEDS.items():
        directory = os.path.join(HERE, 'corpus', target)
        os.makedirs(directory, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(directory, name), 'wb') as f:
                f.write(data)


if __name__ == '__main__':
    main()
