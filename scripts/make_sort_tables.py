#!/usr/bin/env python3
"""Builds the character weights of Jet's sort orders in the compact form that
src/db/jet/collation/sort_order.cpp reads.

    make_sort_tables.py JACKCESS_DIR > src/db/jet/collation/general_sort_tables.cpp
    make_sort_tables.py --languages JACKCESS_DIR SORTDEFAULT_NLS > src/db/jet/collation/sort_order_languages.cpp

Inputs (facts about the file formats and about Windows' sorting; none is in this
repository):

- JACKCESS_DIR: the four index code tables of the Jackcess project, version 4.0.10
  (unchanged since 2.0.0), in src/main/resources/com/healthmarketscience/jackcess/ of
  https://github.com/jahlborn/jackcess: index_codes_genleg.txt and
  index_codes_ext_genleg.txt (the legacy General order of Jet 4 and ACE 12),
  index_codes_gen.txt and index_codes_ext_gen.txt (the General order of ACE 14 and
  later). One line per UTF-16 code unit (0000-00FF in the first file of an order,
  0100-FFFF without the surrogates in the second): a kind letter followed by
  comma-separated hex fields.

- SORTDEFAULT_NLS: the Windows sorting weight table as Wine 10.5 ships it,
  nls/sortdefault.nls of https://gitlab.winehq.org/wine/wine (git blob
  cd6c8cfd4045ed35b9b2ffb3f27da75047cb26aa). Wine's tools/make_unicode builds it from
  Microsoft's published "Windows 10 Sorting Weight Table.txt" (microsoft.com download
  10921, "Sorting Weight Tables"; its layout is described in the protocol document
  MS-UCODEREF, 3.1.5.2.3): the default weights of every code unit, and per sort the
  exceptions (units weighed otherwise) and compressions (sequences weighed as one).
  Which sort a locale uses is Wine 10.5's dlls/kernelbase/kernelbase.rgs (Sorting\Ids);
  the few this program needs are in LANGUAGES below.

How a language's order is made. Keys that Access wrote in the Turkish and the Chinese
(PRC) orders are the legacy General keys wherever the language's exceptions leave a
character alone, and the Turkish exceptions give "I" the weight (0E, 31) that Access
keys as 58 06. A weight is a script and a primary weight (Latin: script 0E) plus a
diacritic weight. Legacy General gives each Latin letter a to z one byte (a = 4A,
b = 4C, ...) and where the primary weights of two letters leave room between them, one
byte in between for that room (4B between a and b): a primary weight w in the room
after letter L is that byte followed by w - weight(L) + 1. The diacritic weight becomes
the extra byte, unchanged, as it does for the letters of legacy General. So an
exception is keyed when
  - its script is Latin and its primary weight is a letter's or lies in the room after
    one of a to y (after z legacy General counts the weights it has one by one, so a
    weight it never had, as the Nordic letters after Z, has no known byte), and
  - its diacritic weight is 02 (none) or one that the letters of legacy General carry
    as their extra byte unchanged.
Every other exception or compression, and a text with a doubled first letter before a
compression where the order compresses doubles ("ccs" in Hungarian), is refused.
"""
import collections
import os
import struct
import sys

KINDS = {'X': 0, 'S': 1, 'I': 2, 'U': 3, 'P': 4, 'Z': 5, 'G': 6}


def hexbytes(s):
    if len(s) % 2:
        s = '0' + s
    return bytes(int(s[i:i + 2], 16) for i in range(0, len(s), 2))


def load(directory, base, ext):
    rows = []
    for name, first in ((base, 0), (ext, 0x100)):
        c = first
        with open(os.path.join(directory, name), encoding='ascii') as f:
            for line in f:
                line = line.rstrip('\n')
                while 0xD800 <= c <= 0xDFFF:
                    c += 1
                fields = line[1:].split(',') if len(line) > 1 else []
                rows.append((c, KINDS[line[0]], fields))
                c += 1
    assert rows[-1][0] == 0xFFFF, hex(rows[-1][0])
    return rows


def record(kind, fields):
    """The bytes of one character's record after the op byte."""
    out = bytearray()
    if kind in (1, 6):
        b = hexbytes(fields[0]); out += bytes([len(b)]) + b
    elif kind == 2:
        b = hexbytes(fields[0]); e = hexbytes(fields[1])
        out += bytes([len(b)]) + b + bytes([len(e)]) + e
    elif kind == 3:
        b = hexbytes(fields[0]); out += bytes([len(b)]) + b
    elif kind == 4:
        b = hexbytes(fields[0]); assert len(b) == 1; out += b
    elif kind == 5:
        b = hexbytes(fields[0]); e = hexbytes(fields[1]) if fields[1] else b''
        out += bytes([len(b)]) + b + bytes([len(e)]) + e + bytes([2 if fields[2] == '1' else 3])
    return bytes(out)


def encode(rows):
    out = bytearray()
    i = 0
    while i < len(rows):
        c, kind, fields = rows[i]
        n = 1
        if kind == 0:
            while i + n < len(rows) and rows[i + n][1] == 0 and rows[i + n][0] == c + n and n < 0xFFFF:
                n += 1
        elif kind == 1:
            v = int(fields[0], 16); width = len(hexbytes(fields[0]))
            while (i + n < len(rows) and rows[i + n][1] == 1 and rows[i + n][0] == c + n and n < 0xFFFF
                   and len(hexbytes(rows[i + n][2][0])) == width and int(rows[i + n][2][0], 16) == v + n):
                n += 1
        if n > 1:
            out += bytes([kind | 0x08, n & 0xFF, n >> 8])
        else:
            out += bytes([kind])
        out += record(kind, fields)
        i += n
    return bytes(out)


def emit(name, data):
    print(f'extern const unsigned char {name}[] = {{')
    for k in range(0, len(data), 24):
        print('    ' + ','.join(str(b) for b in data[k:k + 24]) + ',')
    print('};')
    print(f'extern const unsigned long {name}Size = {len(data)};')


# The orders of other languages: Jet's language id, the name in messages, the sort of
# Windows it follows (the last part of its sort GUID, from Sorting\Ids), and whether the
# exceptions are those of linguistic casing. Dutch has no sort of its own: Windows sorts
# it by the default weights.
LANGUAGES = [
    (0x041F, 'Turkish', 0x22, True),  # tr
    (0x0804, 'Chinese (PRC)', 0x3A, False),  # zh
    (0x041D, 'Swedish/Finnish', 0x1A, False),  # sv, fi
    (0x0406, 'Norwegian/Danish', 0x1F, False),  # da
    (0x040F, 'Icelandic', 0x25, False),  # is
    (0x0405, 'Czech', 0x1C, False),  # cs
    (0x040E, 'Hungarian', 0x04, False),  # hu
    (0x0415, 'Polish', 0x1D, False),  # pl
    (0x0424, 'Slovenian', 0x1E, False),  # sl
    (0x040A, 'Spanish (traditional)', 0x2A, False),  # es-ES_tradnl
    (0x0413, 'Dutch', None, False),  # nl: the default weights
    (0x0419, 'Cyrillic', 0x4A, False),  # ru
]

# Letters refused whatever the table says. The table is Windows 10's; older Windows
# sorted W with V in Swedish, Finnish and Danish, and Access's orders are older: which
# one a database of these orders keys W by, no key Access wrote shows.
ALSO_REFUSED = {0x041D: ['W', 'w'], 0x0406: ['W', 'w']}


class SortTable:
    """The parts of Wine's sortdefault.nls this program reads. A weight is (script,
    primary, diacritic, case)."""

    def __init__(self, path):
        d = open(path, 'rb').read()
        self.d = d
        offsets = struct.unpack_from('<4L', d, 0)
        self.keys = offsets[0]
        self.default = [self.key(i) for i in range(0x10000)]
        p = offsets[3]
        _, count = struct.unpack_from('<2L', d, p)
        p += 8
        self.sorts = {}
        for _ in range(count):
            first = struct.unpack_from('<L', d, p)[0]
            flags, compression, exceptions, linguistic, _ = struct.unpack_from('<5L', d, p + 16)
            self.sorts[first] = (flags, compression, exceptions, linguistic)
            p += 36
        expansions = struct.unpack_from('<L', d, p)[0]
        p += 4 + 4 * expansions
        count = struct.unpack_from('<L', d, p)[0]
        p += 4
        self.compressions = []
        for _ in range(count):
            at, _, _, *lengths = struct.unpack_from('<L10H', d, p)
            self.compressions.append((at, lengths))
            p += 24
        self.rows = p

    def key(self, index):
        primary, script, diacritic, case = self.d[self.keys + 4 * index:self.keys + 4 * index + 4]
        return (script, primary, diacritic, case)

    def doubles(self, sort):
        return bool(self.sorts[sort][0] & 0x20)

    def exceptions(self, sort, linguistic):
        """{unit: weight} where the sort differs from the default weights."""
        at = self.sorts[sort][3 if linguistic else 2]
        out = {}
        if not at:
            return out
        pages = struct.unpack_from('<256L', self.d, self.keys + 4 * at)
        for page in range(256):
            if pages[page] == page * 0x100:
                continue
            for low in range(256):
                unit = page * 256 + low
                w = self.key(pages[page] + low)
                mine, base = w[:3] + (w[3] & 0x3F,), self.default[unit][:3] + (self.default[unit][3] & 0x3F,)
                if mine != base:  # the case weight's top bits only flag compressions
                    out[unit] = w
        return out

    def compression(self, sort):
        """[(units, weight)] of the sort's compressions."""
        index = self.sorts[sort][1]
        if index == 0xFFFFFFFF:
            return []
        at, lengths = self.compressions[index]
        q = self.rows + 2 * at
        out = []
        for k, count in enumerate(lengths):
            n = k + 2
            for _ in range(count):
                units = struct.unpack_from('<%dH' % n, self.d, q)
                q += (2 * n + 3) // 4 * 4
                primary, script, diacritic, case = self.d[q:q + 4]
                q += 4
                out.append((units, (script, primary, diacritic, case)))
        return out


class LegacyKeys:
    """How legacy General keys the weights of the sort table: the bytes of the letters a
    to z and the room between them, and the diacritic weights it keeps as they are."""

    def __init__(self, legacy_rows, table):
        byunit = {c: (kind, fields) for c, kind, fields in legacy_rows}
        self.letters = []
        for ch in 'abcdefghijklmnopqrstuvwxyz':
            kind, fields = byunit[ord(ch)]
            assert kind == 1 and len(hexbytes(fields[0])) == 1, ch
            self.letters.append((table.default[ord(ch)][1], hexbytes(fields[0])[0]))
        extras = collections.defaultdict(set)
        for c, (kind, fields) in byunit.items():
            if kind == 2 and table.default[c][0] == 0x0E:
                extras[table.default[c][2]].add(fields[1].lower())
        self.kept = {dw for dw, seen in extras.items() if seen == {'%02x' % dw}}

    def key(self, weight):
        """(inline bytes, extra bytes) of a weight, or None when it cannot be known."""
        script, primary, diacritic, _ = weight
        if script != 0x0E or (diacritic != 2 and diacritic not in self.kept):
            return None
        extra = b'' if diacritic == 2 else bytes([diacritic])
        for k, (weight_of, byte) in enumerate(self.letters):
            if primary == weight_of:
                return bytes([byte]), extra
            if k + 1 < len(self.letters) and weight_of < primary < self.letters[k + 1][0]:
                if self.letters[k + 1][1] != byte + 2:
                    return None  # no room between these two letters
                return bytes([byte + 1, primary - weight_of + 1]), extra
        return None


def ranges(units):
    out = []
    for u in sorted(units):
        if out and out[-1][1] + 1 == u:
            out[-1][1] = u
        else:
            out.append([u, u])
    return out


def language_order(table, legacy, language, sort, linguistic):
    """(weights, refused sequences, refused unit ranges, doubles) of one language."""
    weights, refused, units = [], [], set()
    if sort is None:
        return weights, refused, [], False
    entries = [((u,), w) for u, w in sorted(table.exceptions(sort, linguistic).items())]
    entries += sorted(table.compression(sort))
    for seq, weight in entries:
        if any(0xD800 <= u <= 0xDFFF for u in seq):
            units.add(seq[0])  # a character beyond the BMP: refused by its first unit
            continue
        key = legacy.key(weight)
        if key is not None:
            weights.append((seq, key))
        elif len(seq) == 1:
            units.add(seq[0])
        else:
            refused.append(seq)
    also = {ord(ch) for ch in ALSO_REFUSED.get(language, [])}
    units |= also
    refused += [seq for seq, _ in weights if len(seq) > 1 and seq[0] in also]
    weights = [(seq, key) for seq, key in weights if seq[0] not in units]
    return weights, refused, ranges(units), table.doubles(sort)


def cunits(seq):
    return '{' + ', '.join('0x%04X' % u for u in seq) + '}'


def emit_languages(table, legacy):
    print('// Generated by scripts/make_sort_tables.py; do not edit. Where the sort orders of')
    print('// other languages part from legacy General, from the Windows sorting weight table;')
    print('// sort_order_languages.h says what the entries mean.')
    print('// NOLINTBEGIN')
    print('// clang-format off')
    print('#include "db/jet/collation/sort_order_languages.h"')
    print()
    print('namespace qv::jet {')
    print('namespace {')
    orders = []
    for n, (language, name, sort, linguistic) in enumerate(LANGUAGES):
        weights, refused, unit_ranges, doubles = language_order(table, legacy, language, sort, linguistic)
        print()
        print('// %s (0x%04X)' % (name, language))
        parts = ['nullptr, 0'] * 3
        if weights:
            print('constexpr LanguageWeight kWeights%d[] = {' % n)
            for seq, (inline, extra) in weights:
                text = ''.join(chr(u) for u in seq)
                print('    {%s, {%s}, %d, 0x%02X},  // %s' % (cunits(seq), ', '.join('0x%02X' % b for b in inline),
                                                          len(inline), extra[0] if extra else 0, text))
            print('};')
            parts[0] = 'kWeights%d, %d' % (n, len(weights))
        if refused:
            print('constexpr LanguageSequence kRefused%d[] = {' % n)
            for seq in refused:
                print('    {%s},  // %s' % (cunits(seq), ''.join(chr(u) for u in seq)))
            print('};')
            parts[1] = 'kRefused%d, %d' % (n, len(refused))
        if unit_ranges:
            print('constexpr UnitRange kRefusedUnits%d[] = {' % n)
            for k in range(0, len(unit_ranges), 6):
                print('    ' + ' '.join('{0x%04X, 0x%04X},' % tuple(r) for r in unit_ranges[k:k + 6]))
            print('};')
            parts[2] = 'kRefusedUnits%d, %d' % (n, len(unit_ranges))
        orders.append('    {0x%04X, "%s", %s, %s, %s, %s},' % (language, name, parts[0], parts[1], parts[2],
                                                              'true' if doubles else 'false'))
    print()
    print('}  // namespace')
    print()
    print('extern const LanguageOrder kLanguageOrders[] = {')
    for line in orders:
        print(line)
    print('};')
    print('extern const size_t kLanguageOrderCount = %d;' % len(orders))
    print('}  // namespace qv::jet')
    print('// clang-format on')
    print('// NOLINTEND')


def main():
    if sys.argv[1] == '--languages':
        directory, nls = sys.argv[2], sys.argv[3]
        legacy_rows = load(directory, 'index_codes_genleg.txt', 'index_codes_ext_genleg.txt')
        table = SortTable(nls)
        emit_languages(table, LegacyKeys(legacy_rows, table))
        return
    directory = sys.argv[1]
    legacy = encode(load(directory, 'index_codes_genleg.txt', 'index_codes_ext_genleg.txt'))
    current = encode(load(directory, 'index_codes_gen.txt', 'index_codes_ext_gen.txt'))
    print('// Generated by scripts/make_sort_tables.py; do not edit. The character weights of the')
    print('// General sort orders, in the form sort_order.cpp describes and reads.')
    print('// NOLINTBEGIN')
    print('// clang-format off')
    print('namespace qv::jet {')
    emit('kGeneralLegacyWeights', legacy)
    emit('kGeneral2010Weights', current)
    print('}  // namespace qv::jet')
    print('// clang-format on')
    print('// NOLINTEND')


if __name__ == '__main__':
    main()
