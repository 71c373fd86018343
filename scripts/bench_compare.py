#!/usr/bin/env python3
"""Two sets of om_bench runs side by side: every case's time per unit (its
ns_per_unit counter) in each, the best of its runs, and their ratio B / A
against a target. Reads Google Benchmark's console output and the Windows
builds' stand-in's alike.

  bench_compare.py --a NAME LOG [LOG...] --b NAME LOG [LOG...] [--target R]
                   [--why-no-b TEXT]

Cases only in A are listed with their time; --why-no-b says why B is missing.
Cases timed against other libraries (ffmpeg, swscale) are affected by
neither build, so their ratios show the run-to-run noise.
"""
import argparse
import re
import sys

SCALE = {'': 1.0, 'k': 1e3, 'M': 1e6, 'm': 1e-3, 'u': 1e-6, 'n': 1e-9}
COUNTER = re.compile(r'\bns_per_unit=([-0-9.e+]+)([kMmun]?)')


def load(paths):
    best = {}
    for path in paths:
        try:
            lines = open(path, errors='replace').read().splitlines()
        except OSError:
            continue
        for line in lines:
            m = COUNTER.search(line)
            if not m:
                continue
            name = re.split(r'\s{2,}', line.strip())[0]
            value = float(m.group(1)) * SCALE[m.group(2)]
            if value > 0 and (name not in best or value < best[name]):
                best[name] = value
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--a', nargs='+', required=True, metavar=('NAME', 'LOG'))
    parser.add_argument('--b', nargs='+', required=True, metavar=('NAME', 'LOG'))
    parser.add_argument('--target', type=float, default=1.25)
    parser.add_argument('--why-no-b', default='')
    args = parser.parse_args()
    name_a, name_b = args.a[0], args.b[0]
    a, b = load(args.a[1:]), load([] if args.why_no_b else args.b[1:])
    ratio_label = f'{name_b}/{name_a}'
    print(f"{'case (ns per unit, best of runs)':<58} {name_a:>10} {name_b:>10} {ratio_label:>12}")
    missed = compared = 0
    noise = []
    for case, ta in a.items():
        tb = b.get(case)
        if tb is None:
            print(f'{case:<58} {ta:>10.4g} {"-":>10}')
            continue
        ratio = tb / ta
        if re.search(r'/(ffmpeg|swscale)', case):
            noise.append(ratio)
            print(f'{case:<58} {ta:>10.4g} {tb:>10.4g} {ratio:>12.3f} (peer)')
            continue
        compared += 1
        ok = ratio <= args.target
        missed += not ok
        print(f'{case:<58} {ta:>10.4g} {tb:>10.4g} {ratio:>12.3f} {"ok" if ok else "MISSED"}')
    if args.why_no_b:
        print(f'{name_b}: not run: {args.why_no_b}')
    elif compared:
        print(f'{name_b} at most {args.target:g}x {name_a}: {compared - missed} of {compared} cases')
        if noise:
            print(f'peers (the same code in both): {min(noise):.3f} to {max(noise):.3f}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
