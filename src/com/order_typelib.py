#!/usr/bin/env python3
"""Rewrites a type library (MSFT format) with its type descriptions in a given order.

widl numbers type descriptions in the order it first meets them, so types
referenced by an interface land before the interface. This puts them in the
published order: it permutes the type-description table and renames every
internal reference (references are table offsets) to the new positions.

usage: order_typelib.py IN.tlb OUT.tlb NAME...   (every type name, in order)
"""
import struct
import sys

ENTRY = 0x64  # size of one type-description record
SEGMENTS = ['typeinfo', 'impinfo', 'impfiles', 'reftab', 'guidhash', 'guid', 'namehash', 'name',
            'string', 'typedesc', 'arraydesc', 'custdata', 'cdguids', 'res0e', 'res0f']
TKIND_INTERFACE, TKIND_DISPATCH = 3, 4
VT_USERDEFINED = 29


def fail(text):
    sys.exit('order_typelib: ' + text)


def main(argv):
    if len(argv) < 4:
        fail('usage: order_typelib.py IN.tlb OUT.tlb NAME...')
    data = bytearray(open(argv[1], 'rb').read())
    order = argv[3:]

    magic, _, _, _, _, varflags = struct.unpack_from('<6i', data, 0)
    if magic != 0x5446534D:
        fail('not an MSFT type library')
    count = struct.unpack_from('<i', data, 0x20)[0]
    offsets_at = 0x54 + (4 if varflags & 0x100 else 0)
    offsets = struct.unpack_from('<%di' % count, data, offsets_at)
    if list(offsets) != [i * ENTRY for i in range(count)]:
        fail('unexpected type-description layout')
    directory_at = offsets_at + 4 * count
    segment = {}
    for i, name in enumerate(SEGMENTS):
        segment[name] = struct.unpack_from('<2i', data, directory_at + 16 * i)

    name_at, name_length = segment['name']

    def name_of(name_offset):
        length = struct.unpack_from('<i', data, name_at + name_offset + 8)[0] & 0xFF
        start = name_at + name_offset + 12
        return data[start:start + length].decode('latin-1')

    table_at = segment['typeinfo'][0]
    records = [bytes(data[table_at + i * ENTRY: table_at + (i + 1) * ENTRY]) for i in range(count)]
    names = [name_of(struct.unpack_from('<i', r, 0x34)[0]) for r in records]
    if sorted(names) != sorted(order) or len(order) != count:
        fail('type names %s do not match the order %s' % (names, order))
    new_index = {old: order.index(name) for old, name in enumerate(names)}

    def renamed(href):
        """The new reference for an internal one; anything else unchanged."""
        if href >= 0 and href % ENTRY == 0 and href // ENTRY < count:
            return new_index[href // ENTRY] * ENTRY
        return href

    def patch(at):
        value = struct.unpack_from('<i', data, at)[0]
        struct.pack_into('<i', data, at, renamed(value))

    # Internal references outside the table.
    ref_at, ref_length = segment['reftab']
    for at in range(ref_at, ref_at + ref_length, 16):
        patch(at)
    desc_at, desc_length = segment['typedesc']
    for at in range(desc_at, desc_at + desc_length, 8):
        if struct.unpack_from('<h', data, at)[0] & 0x0FFF == VT_USERDEFINED:
            patch(at + 4)
    position = 0
    while position < name_length:
        length = struct.unpack_from('<i', data, name_at + position + 8)[0] & 0xFF
        patch(name_at + position)
        position += 12 + ((length + 3) & ~3)
    guid_at = segment['guid'][0]
    for record in records:
        guid_offset = struct.unpack_from('<i', record, 0x2C)[0]
        if guid_offset >= 0:
            patch(guid_at + guid_offset + 16)

    # The table itself, in the new order; each record carries its own index.
    for old, record in enumerate(records):
        record = bytearray(record)
        kind = struct.unpack_from('<i', record, 0)[0]
        struct.pack_into('<i', record, 0, (kind & 0xFFFF) | (new_index[old] << 16))
        if kind & 0xF in (TKIND_INTERFACE, TKIND_DISPATCH):
            parent = struct.unpack_from('<i', record, 0x54)[0]
            struct.pack_into('<i', record, 0x54, renamed(parent))
        start = table_at + new_index[old] * ENTRY
        data[start:start + ENTRY] = record

    open(argv[2], 'wb').write(bytes(data))


if __name__ == '__main__':
    main(sys.argv)
