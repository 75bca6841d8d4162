#!/usr/bin/env python3
"""Prints the tests' share of the tree's C/C++ code and fails above a limit.

Counts the non-blank lines that are not only comment in every tracked .h, .cc
and .c file; tests/ over all of them is the share.
  scripts/test_share.py [--limit PERCENT]
"""

import argparse
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# Comments and literals, in one pass so that "//" inside a string is no comment.
TOKENS = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def code_lines(text):
    def blank(match):
        token = match.group(0)
        if token.startswith("/"):
            return "\n" * token.count("\n")  # a comment leaves only its line breaks
        return "x"  # a literal is code
    return sum(1 for line in TOKENS.sub(blank, text).splitlines() if line.strip())


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--limit", type=float, help="fail when the share passes this percentage")
    args = parser.parse_args()
    files = subprocess.run(["git", "ls-files", "*.h", "*.cc", "*.c"], cwd=ROOT, capture_output=True, text=True,
                           check=True).stdout.split()
    tests = total = 0
    for name in files:
        lines = code_lines((ROOT / name).read_text(encoding="utf-8", errors="replace"))
        total += lines
        if name.startswith("tests/"):
            tests += lines
    share = 100.0 * tests / total if total else 0.0
    print(f"test share: {tests} of {total} C/C++ lines in tests/ ({share:.1f}%)")
    if args.limit is not None and share > args.limit:
        print(f"test share: above the limit of {args.limit:g}%")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
