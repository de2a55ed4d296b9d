#!/usr/bin/env python3
# The include graph of Oem/, sim/, oemhost/ and bench/: no loop between two files (a header and
# its .cpp count as one) and no include of a file in a folder above the includer's own, unless
# that file belongs to a header target (an INTERFACE library listing its headers) the includer's
# target links. Quoted includes resolve as the compiler does: the includer's folder, then the
# include roots its target gets from the CMake files.
#   include_graph.py SOURCE_DIR
import os, re, sys

root = os.path.abspath(sys.argv[1])
SCOPE = ('Oem', 'sim', 'oemhost', 'bench')
KINDS = {'STATIC', 'SHARED', 'OBJECT', 'INTERFACE', 'MODULE', 'EXCLUDE_FROM_ALL'}
targets = {}  # name: {'dir', 'sources', 'includes': [(visibility, dir)], 'links': [(visibility, name)], 'kind'}


def read_cmake(path, source_dir):
    text = re.sub(r'#[^\n]*', '', open(path).read())
    for name, args in re.findall(r'(\w+)\s*\(((?:[^()]|\([^()]*\))*)\)', text):
        subs = {'CMAKE_CURRENT_SOURCE_DIR': source_dir, 'CMAKE_CURRENT_LIST_DIR': os.path.dirname(path),
                'CMAKE_SOURCE_DIR': root}
        words = [re.sub(r'\$\{(\w+)\}', lambda m: subs.get(m.group(1), '\0'), w) for w in args.split()]
        words = [os.path.normpath(os.path.join(source_dir, w)) if '/' in w or '.' in w else w for w in words
                 if '\0' not in w and not w.startswith('$<')]
        if name == 'include' and words and os.path.isfile(words[0]):
            read_cmake(words[0], source_dir)
        elif name == 'add_subdirectory' and os.path.join(source_dir, words[0]).startswith(root + os.sep):
            sub = os.path.join(source_dir, words[0])
            read_cmake(os.path.join(sub, 'CMakeLists.txt'), sub)
        elif name in ('add_library', 'add_executable') and words:
            kind = next((w for w in words[1:] if w in KINDS), 'EXECUTABLE' if name == 'add_executable' else '')
            targets[words[0]] = {'dir': source_dir, 'kind': kind, 'includes': [], 'links': [],
                                 'sources': [w for w in words[1:] if os.path.isfile(w)]}
        elif name in ('target_include_directories', 'target_link_libraries') and words[0] in targets:
            key, seen = ('includes' if name == 'target_include_directories' else 'links'), 'PUBLIC'
            for w in words[1:]:
                if w in ('PUBLIC', 'PRIVATE', 'INTERFACE'): seen = w
                elif w not in ('SYSTEM', 'BEFORE', 'AFTER'): targets[words[0]][key].append((seen, w))


def linked(name, direct=True):
    """The targets name links: all it names, and what they link in turn for their users."""
    found = []
    for visibility, lib in targets[name]['links']:
        if lib in targets and (direct or visibility != 'PRIVATE') and lib not in found:
            found += [lib] + [l for l in linked(lib, False) if l not in found]
    return found


def roots(name):
    own = [d for v, d in targets[name]['includes'] if v != 'INTERFACE' or targets[name]['kind'] == 'INTERFACE']
    return own + [d for lib in linked(name) for v, d in targets[lib]['includes'] if v != 'PRIVATE']


read_cmake(os.path.join(root, 'CMakeLists.txt'), root)
owner = {}  # a compiled source or a header target's header: its target
for name, t in targets.items():
    for s in t['sources']:
        owner.setdefault(s, name)
header_of = {s: n for n, t in targets.items() if t['kind'] == 'INTERFACE' for s in t['sources']}


def in_scope(path):
    return os.path.relpath(path, root).split(os.sep)[0] in SCOPE


edges, problems, done = set(), [], set()
pending = [(s, n) for s, n in owner.items() if in_scope(s) and s.endswith('.cpp')]
for folder in SCOPE:  # files no target lists by name (globbed ones): the target of their folder's CMake file
    for d, _, files in os.walk(os.path.join(root, folder)):
        near = next((n for n, t in targets.items() if t['dir'] == d and t['sources']), None)
        parent = d
        while near is None and parent != root:
            parent = os.path.dirname(parent)
            near = next((n for n, t in targets.items() if t['dir'] == parent and t['kind'] != 'INTERFACE'), None)
        pending += [(os.path.join(d, f), owner.get(os.path.join(d, f), near)) for f in files if f.endswith('.cpp')]
while pending:
    path, target = pending.pop()
    if (path, target) in done or not in_scope(path): continue
    done.add((path, target))
    for line, name in [(i + 1, m) for i, l in enumerate(open(path)) for m in re.findall(r'^\s*#\s*include\s*"(.+)"', l)]:
        found = next((os.path.normpath(os.path.join(d, name)) for d in [os.path.dirname(path)] + roots(target)
                      if os.path.isfile(os.path.join(d, name))), None)
        where = '%s:%d' % (os.path.relpath(path, root), line)
        if found is None:
            problems.append('%s: "%s" not found from %s' % (where, name, target))
            continue
        here, there = os.path.dirname(path), os.path.dirname(found)
        if here.startswith(there + os.sep) and header_of.get(found) not in linked(target) + [target]:
            problems.append('%s: "%s" climbs to %s' % (where, name, os.path.relpath(there, root)))
        edges.add((os.path.splitext(path)[0], os.path.splitext(found)[0]))
        pending.append((found, target))

# Loops between units (a header with its .cpp): each one found once, through its first unit.
graph = {}
for a, b in edges:
    if a != b: graph.setdefault(a, set()).add(b)
reported = set()
for start in sorted(graph):
    trail, seen = [(start, [start])], {start}
    while trail:
        unit, way = trail.pop()
        for nxt in sorted(graph.get(unit, ())):
            if nxt == start and not set(way) & reported:
                problems.append('loop: ' + ' -> '.join(os.path.relpath(u, root) for u in way + [start]))
                reported |= set(way)
            elif nxt not in seen:
                seen.add(nxt)
                trail.append((nxt, way + [nxt]))

print('\n'.join(dict.fromkeys(problems)) or 'include graph: no loop, no climb (%d edges)' % len(edges))
sys.exit(1 if problems else 0)
