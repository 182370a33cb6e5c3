#!/usr/bin/env python3
"""Draws deliberate faults at random from the product's code, as a list for mutants.sh.

    scripts/random-faults.py [-n COUNT] [-s SEED] [DIR...]  > faults.txt
    scripts/mutants.sh faults.txt TARGET...

The hand-written lists hold the faults we thought of; these are the ones nobody chose, which is
how a careless change arrives: a comparison moved by one, a condition turned round, a constant
off by one, a call dropped. Lines inside strings, comments and includes are left alone, so that
most faults build and few are silent rewrites of the same meaning.
"""
import argparse
import pathlib
import random
import re

# (Python pattern, the same for sed, replacement, what it breaks); each applies to one
# occurrence on one line.
SWAPS = [
    (r" < ", " < ", " <= ", "< became <="),
    (r" <= ", " <= ", " < ", "<= became <"),
    (r" > ", " > ", " >= ", "> became >="),
    (r" >= ", " >= ", " > ", ">= became >"),
    (r" == ", " == ", " != ", "== became !="),
    (r" != ", " != ", " == ", "!= became =="),
    (r" && ", " \&\& ", " || ", "and became or"),
    (r" \|\| ", " || ", " \&\& ", "or became and"),
    (r"\btrue\b", "\\btrue\\b", "false", "true became false"),
    (r"\bfalse\b", "\\bfalse\\b", "true", "false became true"),
    (r"\(!", "(!", "(", "a negation dropped"),
]
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
CALL = re.compile(r"^\s+[A-Za-z_][\w:.>-]*(\([^;]*\))?;\s*$")  # a call standing alone


def candidates(path, text):
    for number, line in enumerate(text.splitlines(), 1):
        code = line.split("//")[0]
        if '"' in code or "'" in code or code.lstrip().startswith(("#", "*", "/*")):
            continue
        for pattern, sed_pattern, replacement, what in SWAPS:
            for k, _ in enumerate(re.finditer(pattern, code), 1):
                sed = f"{number}s/{sed_pattern}/{replacement}/{k}"
                yield f"{path}|{sed}|line {number}: {what}"
        for k, m in enumerate(NUMBER.finditer(code), 1):
            value = int(m.group(1))
            sed = f"{number}s/\\b{value}\\b/{value + 1}/{k}"
            yield f"{path}|{sed}|line {number}: {value} became {value + 1}"
        if CALL.match(code) and not code.strip().startswith(("return", "break", "continue")):
            yield f"{path}|{number}s/.*/;/|line {number}: a call dropped"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-n", type=int, default=30)
    parser.add_argument("-s", type=int, default=1)
    parser.add_argument("dirs", nargs="*", default=["src", "cli"])
    args = parser.parse_args()
    pool = []
    for folder in args.dirs:
        for path in sorted(pathlib.Path(folder).rglob("*.cpp")):
            if "win32" not in path.parts:  # built for Windows only
                pool += candidates(path.as_posix(), path.read_text())
    random.seed(args.s)
    print(f"# {min(args.n, len(pool))} of {len(pool)} faults drawn with seed {args.s}")
    for fault in random.sample(pool, min(args.n, len(pool))):
        print(fault)


if __name__ == "__main__":
    main()
