"""Writes the exception boundary of every interface that widl's C++ header declares.

For each interface `I` it writes `Guarded_I<Impl>`, a class that derives from
the implementation and overrides every method of `I` with one that calls the
implementation's method inside `GuardedCall`, so that no C++ exception thrown
below a method ever reaches a client; an interface derived from another one
of ours derives from the other's guard. `BoundaryOf<I>` names it for templates.

usage: boundary_header.py quorlin_h.h boundaries.h
"""
import re
import sys

INTERFACE = re.compile(r'^(\w+) : public (\w+)\n\{\n(.*?)^\};', re.S | re.M)
METHOD = re.compile(r'virtual HRESULT STDMETHODCALLTYPE (\w+)\((.*?)\) = 0;', re.S)


def parameters(text):
    """(declaration, name) for each parameter of a method."""
    result = []
    for part in text.split(','):
        declaration = ' '.join(part.split())
        if not declaration:
            continue
        result.append((declaration, re.findall(r'\w+', declaration)[-1]))
    return result


def main(header_path, output_path):
    header = open(header_path).read()
    lines = ['// Written by boundary_header.py from the interfaces widl declares. Do not edit.',
             '// Included by DispatchObject.h, after Boundary.h.', '#pragma once', '', 'namespace quorlin {', '',
             'template <class Interface> struct BoundaryOf;', '']
    found = 0
    guarded = set()
    for interface, base, body in INTERFACE.findall(header):
        methods = METHOD.findall(body)
        if not methods:
            continue
        found += 1
        guarded.add(interface)
        # An interface derived from another of ours guards the base's methods too.
        parent = f'Guarded{base}<Impl>' if base in guarded else 'Impl'
        lines += ['template <class Impl>', f'class Guarded{interface} : public {parent} {{', 'public:']
        for name, text in methods:
            params = parameters(text)
            declared = ', '.join(d for d, _ in params)
            passed = ', '.join(n for _, n in params)
            lines += [f'    HRESULT STDMETHODCALLTYPE {name}({declared}) final {{',
                      f'        return GuardedCall<Impl>(this, L"{name}", [&] {{ return Impl::{name}({passed}); }});',
                      '    }']
        lines += ['};', '',
                  f'template <> struct BoundaryOf<{interface}> {{',
                  f'    template <class Impl> using Type = Guarded{interface}<Impl>;', '};', '']
    if not found:
        sys.exit('no interface found in ' + header_path)
    lines += ['// The class clients get for the implementation `Impl` of one interface.',
              'template <class Impl>',
              'using WithBoundary = typename BoundaryOf<typename Impl::BoundaryInterface>::template Type<Impl>;', '',
              '}  // namespace quorlin', '']
    with open(output_path, 'w') as output:
        output.write('\n'.join(lines))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
