#!/usr/bin/env python3
"""Which subsystem folders include which, from the #include lines.

  scripts/include-graph.py [repo]

Prints one line per folder with the folders it includes, then any cycle
between folders and any file outside plugin/ that includes plugin/plugin_state.h.
Exits 1 when there is a cycle or such a file."""
import os
import re
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
# Lowest first: a folder may include only folders before it.
folders = ['common', 'platform', 'settings', 'compositing', 'logo', 'dialog', 'plugin']
include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')
edges = {f: set() for f in folders}
state_users = []
for folder in folders:
    for path, _, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            file = os.path.join(path, name)
            with open(file, errors='replace') as text:
                for line in text:
                    m = include.match(line)
                    if not m:
                        continue
                    if m.group(1) in edges and m.group(1) != folder:
                        edges[folder].add(m.group(1))
                    if folder != 'plugin' and 'plugin/plugin_state.h' in line:
                        state_users.append(os.path.relpath(file, root))

for f in folders:
    print(f'{f:12} -> {" ".join(sorted(edges[f], key=folders.index))}')

cycles = []
def walk(node, trail):
    for nxt in sorted(edges[node]):
        if nxt in trail:
            cycle = trail[trail.index(nxt):] + [nxt]
            if sorted(cycle[:-1]) not in [sorted(c[:-1]) for c in cycles]:
                cycles.append(cycle)
        else:
            walk(nxt, trail + [nxt])
for f in folders:
    walk(f, [f])
upward = [(a, b) for a in folders for b in edges[a] if folders.index(b) > folders.index(a)]
for c in cycles:
    print('cycle: ' + ' -> '.join(c))
for a, b in upward:
    print(f'upward: {a} -> {b}')
for u in state_users:
    print(f'outside plugin/: {u} includes plugin/plugin_state.h')
sys.exit(1 if cycles or upward or state_users else 0)
