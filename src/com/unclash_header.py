#!/usr/bin/env python3
"""Lets a widl-generated C++ header compile where an enumerator shares its name
with a class (enum_FileType.FTPFile beside the class FTPFile).

The header declares each class both as a type name (typedef) and through
__CRT_UUID_DECL; next to an enumerator of the same name neither compiles. The
class's identifier stays available as CLSID_<name>.

usage: unclash_header.py HEADER   (rewritten in place)
"""
import re
import sys

path = sys.argv[1]
text = open(path).read()
enumerators = set(re.findall(r'^\s+(\w+)\s*=\s*-?\w+,?\s*$', text, re.M))
classes = set(re.findall(r'^class DECLSPEC_UUID\("[^"]+"\) (\w+);', text, re.M))
for name in sorted(enumerators & classes):
    text = re.sub(r'^typedef (class|struct) %s %s;\n' % (name, name), '', text, flags=re.M)
    text = re.sub(r'^__CRT_UUID_DECL\(%s,[^\n]*\n' % name, '', text, flags=re.M)
open(path, 'w').write(text)
