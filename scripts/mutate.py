#!/usr/bin/env python3
"""Mutation sampler: how many small faults in the library do the tests catch?

Lists single-point changes of the library's sources (a comparison or boundary
flipped, && and || swapped, a returned truth value inverted, + 1 and - 1
swapped, a one-line call statement deleted, ...), draws a sample with a seed,
applies each change alone, rebuilds a native Debug build, runs the tests until
the first failure and restores the file. A change is killed when the build's
tests fail, survived when they all pass, and did-not-build when it does not
compile. The tree is restored on every exit, Ctrl-C included, and a journal
restores it on the next start should the process be killed outright.

  scripts/mutate.py --count 200 --seed 1      sample 200 changes and run them
  scripts/mutate.py --list                    print every candidate change
  scripts/mutate.py --under binding/help      only changes in that folder (or file)
  scripts/mutate.py --seed 1 --from 65        resume a run of that seed at its 65th change
  scripts/mutate.py --seed 1 --pick 6,9       run only those changes of the sample again
  scripts/mutate.py --restore                 only restore what a killed run left
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LIBRARY = ("platform", "diagnostics", "binding", "formats", "remoting", "plugin", "messaging")
NOT_BUILT_NATIVELY = ("platform/windows/",)
BUILD = ROOT / "build" / "mutate"
JOURNAL = BUILD / "journal.json"
LINKER = [f"-DCMAKE_{kind}_LINKER_FLAGS=-fuse-ld=lld" for kind in ("EXE", "SHARED", "MODULE")] \
    if shutil.which("ld.lld") else []

# Replacements on code text (comments and literals blanked first). Binary
# operators are taken only with a space each side, as clang-format writes
# them, so template brackets, shifts, arrows and references are left alone.
OPERATORS = [
    (r"(?<= )==(?= )", "!="),
    (r"(?<= )!=(?= )", "=="),
    (r"(?<= )<(?= )", "<="),
    (r"(?<= )<=(?= )", "<"),
    (r"(?<= )>(?= )", ">="),
    (r"(?<= )>=(?= )", ">"),
    (r"(?<= )&&(?= )", "||"),
    (r"(?<= )\|\|(?= )", "&&"),
    (r"(?<= )\+ 1\b(?!\.)", "- 1"),
    (r"(?<= )- 1\b(?!\.)", "+ 1"),
    (r"\breturn true;", "return false;"),
    (r"\breturn false;", "return true;"),
    (r"(?<=[( ])!(?=[\w(])", ""),  # a negation dropped
    (r"\bbreak;", "continue;"),
    (r"\+\+(?=[A-Za-z_])|(?<=[\w\]])\+\+", "--"),
]
OPERATORS = [(re.compile(p), r) for p, r in OPERATORS]

# A whole call statement on one line: `name(...);`, `a.b(...);`, `a->b(...);`.
CALL_STATEMENT = re.compile(r"^\s*(?:[A-Za-z_][\w:]*(?:\.|->))*[A-Za-z_][\w:]*(?:<[^;]*>)?\(.*\);\s*$")
NOT_A_CALL = re.compile(r"^\s*(?:return|delete|throw|co_return|static_assert|using|typedef|case|goto)\b")


def blank_comments_and_literals(text):
    """Same length and lines as text, with comments, strings and characters blanked."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + (m.group(1) if m else "") + '"', i)
            j = n if end < 0 else end + len(m.group(1) if m else "") + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):  # 1'000 is a separator
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + " " * (j - i - 2) + (c if j - i > 1 else ""))
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def candidates():
    found = []
    for folder in LIBRARY:
        for path in sorted((ROOT / folder).rglob("*")):
            if path.suffix not in (".cc", ".h") or not path.is_file():
                continue
            rel = path.relative_to(ROOT).as_posix()
            if rel.startswith(NOT_BUILT_NATIVELY):
                continue
            lines = path.read_text(encoding="utf-8").split("\n")
            code = blank_comments_and_literals("\n".join(lines)).split("\n")
            previous = ""
            for number, (line, bare) in enumerate(zip(lines, code), start=1):
                if bare.lstrip().startswith("#") or "static_assert" in bare:
                    previous = bare.strip() or previous
                    continue
                for pattern, replacement in OPERATORS:
                    for m in pattern.finditer(bare):
                        mutated = line[: m.start()] + replacement + line[m.end() :]
                        found.append((rel, number, m.start(), m.group(0), replacement, mutated))
                # Deleting a call is meaningful only as a statement of its own,
                # not as the unbraced body of an if or the tail of a longer one.
                if CALL_STATEMENT.match(bare) and not NOT_A_CALL.match(bare) and previous[-1:] in (";", "{", "}", ":", ""):
                    found.append((rel, number, 0, line.strip(), "(deleted)", ""))
                previous = bare.strip() or previous
    return found


def describe(c):
    rel, number, _, old, new, _ = c
    return f"{rel}:{number}  {old!r} -> {new}" if new == "(deleted)" else f"{rel}:{number}  {old!r} -> {new!r}"


class Tree:
    """Applies one change at a time and always puts the file back."""

    def __init__(self):
        self.active = None

    def apply(self, c):
        rel, number, _, _, _, mutated = c
        path = ROOT / rel
        original = path.read_bytes()
        JOURNAL.write_text(json.dumps({"file": rel, "original": original.decode("utf-8")}))
        self.active = (path, original)
        lines = original.decode("utf-8").split("\n")
        lines[number - 1] = mutated
        path.write_bytes("\n".join(lines).encode("utf-8"))

    def restore(self):
        if self.active:
            path, original = self.active
            path.write_bytes(original)
            self.active = None
        JOURNAL.unlink(missing_ok=True)


def restore_from_journal():
    if JOURNAL.exists():
        entry = json.loads(JOURNAL.read_text())
        (ROOT / entry["file"]).write_text(entry["original"], encoding="utf-8")
        JOURNAL.unlink()
        print(f"restored {entry['file']} from the journal of an interrupted run")


def run(command, timeout):
    # In a session of its own, so that a timeout or an interrupt stops the test
    # binaries too: a change that makes one spin would otherwise outlive ctest.
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=dict(os.environ, GTEST_FAIL_FAST="1"), start_new_session=True)
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return -1
    finally:
        if process.poll() is None or timeout is not None:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        process.wait()


def verdict_of(rel, args):
    """Builds and runs the changed folder's own test binary first: most changes
    fail there soonest, and it needs only part of the rebuild. A change that
    passes it is built whole and meets every other test."""
    build = ["cmake", "--build", str(BUILD), "-j", str(args.jobs)]
    ctest = ["ctest", "--test-dir", str(BUILD), "-j", str(args.jobs), "--stop-on-failure"]
    own = rel.split("/")[0] + "_test"
    if run(build + ["--target", own], None) != 0:
        return "did not build"
    started = time.monotonic()
    if run(ctest + ["-R", f"^{own}$"], args.timeout) != 0:
        return "killed"
    if run(build, None) != 0:
        return "did not build"
    left = max(1, args.timeout - int(time.monotonic() - started))
    return "killed" if run(ctest + ["-E", f"^{own}$"], left) != 0 else "survived"


def configure(jobs):
    BUILD.mkdir(parents=True, exist_ok=True)
    configured = subprocess.run(
        ["cmake", "-S", ".", "-B", str(BUILD), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug", "-DNORV_HARDEN=OFF",
         "-DNORV_BENCH=OFF", "-DNORV_DISCOVER_TESTS=OFF", "-DCMAKE_C_COMPILER=gcc", "-DCMAKE_CXX_COMPILER=g++",
         # Debug without debug information and with lld when present: most
         # of a change's time is its rebuild, and no one debugs these builds.
         "-DCMAKE_C_FLAGS_DEBUG=-O0", "-DCMAKE_CXX_FLAGS_DEBUG=-O0", *LINKER],
        cwd=ROOT, stdout=subprocess.DEVNULL)
    if configured.returncode != 0 or run(["cmake", "--build", str(BUILD), "-j", str(jobs)], None) != 0:
        sys.exit("mutate: the unchanged tree does not configure and build")
    if run(["ctest", "--test-dir", str(BUILD), "-j", str(jobs)], None) != 0:
        sys.exit("mutate: the unchanged tree's tests fail; fix those first")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=200, help="changes to sample (default 200)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2, help="build and test jobs")
    parser.add_argument("--timeout", type=int, default=180, help="seconds a test run may take; longer counts as killed")
    parser.add_argument("--under", action="append", default=[], metavar="PATH",
                        help="only changes in files under PATH (repeatable), e.g. binding/help")
    parser.add_argument("--from", dest="first", type=int, default=1, metavar="N",
                        help="start at the sample's Nth change, to resume an interrupted run")
    parser.add_argument("--pick", type=lambda text: {int(n) for n in text.split(",")}, default=None,
                        metavar="N,N,...", help="run only these changes of the sample, e.g. its survivors again")
    parser.add_argument("--list", action="store_true", help="print the candidates and stop")
    parser.add_argument("--restore", action="store_true", help="restore what an interrupted run left and stop")
    args = parser.parse_args()

    restore_from_journal()
    if args.restore:
        return 0
    every = candidates()
    if args.under:
        every = [c for c in every if any(c[0].startswith(prefix.rstrip("/") + "/") or c[0] == prefix
                                         for prefix in args.under)]
    if args.list:
        for c in every:
            print(describe(c))
        print(f"{len(every)} candidate changes")
        return 0
    sample = random.Random(args.seed).sample(every, min(args.count, len(every)))
    print(f"mutate: {len(sample)} of {len(every)} candidate changes, seed {args.seed}"
          + (f", from change {args.first}" if args.first > 1 else "")
          + (f", changes {','.join(map(str, sorted(args.pick)))} only" if args.pick else ""), flush=True)
    configure(args.jobs)

    tree = Tree()
    # A signal becomes an exception, so the finally below restores the file.
    def interrupted(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)
    results = {"killed": [], "survived": [], "did not build": []}
    started = time.monotonic()
    try:
        for index, c in enumerate(sample, start=1):
            if index < args.first or (args.pick is not None and index not in args.pick):
                continue
            tree.apply(c)
            try:
                verdict = verdict_of(c[0], args)
            finally:
                tree.restore()
            results[verdict].append((index, c))
            print(f"[{index}/{len(sample)}] {verdict:13} {describe(c)}", flush=True)
    except KeyboardInterrupt:
        print("mutate: interrupted; the tree is restored", file=sys.stderr)
        return 130
    finally:
        tree.restore()
        # Leave the build matching the restored sources for the next run.
        run(["cmake", "--build", str(BUILD), "-j", str(args.jobs)], None)

    built = len(results["killed"]) + len(results["survived"])
    rate = 100.0 * len(results["killed"]) / built if built else 0.0
    ran = sum(len(changes) for changes in results.values())
    print(f"\nmutate: seed {args.seed}, {ran} changes in {time.monotonic() - started:.0f} s: "
          f"{len(results['killed'])} killed, {len(results['survived'])} survived, "
          f"{len(results['did not build'])} did not build; kill rate {rate:.1f}% of {built} that built")
    for index, c in results["survived"]:
        print(f"  survived: [{index}] {describe(c)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
