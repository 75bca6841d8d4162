#!/usr/bin/python3
"""Feeds a module's epytext help, item by item, through pydoctor's epytext
parser and fails on any error it reports.

  check_epytext.py HOST_SIM DEMO_MODULE [SHIPPING_MODULE]

The demo module's items come from its Help function, as a host asks for them
(host_sim --describe epytext). The shipping module exposes no function, so
Help cannot be called there; its types and events are registered by the same
runtime code, and the check asserts that each of them is among the demo's
parsed items.
"""
import re
import subprocess
import sys

from pydoctor.epydoc.markup import epytext


def parse_errors(text):
    errors = []
    epytext.parse_docstring(text, errors)
    return [error.descr() for error in errors]


def described_items(host_sim, module):
    """(section, name, text) for each item of the epytext help."""
    out = subprocess.run([host_sim, module, "--describe", "epytext"], check=True, capture_output=True).stdout
    items, section, name, text = [], None, None, []

    def flush():
        if name is not None:
            items.append((section, name, "".join(text)))

    # The transcript's own lines end in "\n"; every line of an item ends in "\r\n".
    for line in out.decode("utf-8").splitlines(keepends=True):
        if line.endswith("\r\n"):
            text.append(line)
        elif line.startswith("== "):
            flush()
            section, name, text = line[3:].strip(), None, []
        elif line.startswith("-- "):
            flush()
            name, text = line[3:].rstrip("\n"), []
    flush()
    return items


def api_names(host_sim, module):
    """Names of the types and events the module's API table lists."""
    out = subprocess.run([host_sim, module, "--api"], check=True, capture_output=True, text=True).stdout
    names, section = set(), None
    for line in out.splitlines():
        heading = re.match(r"^(functions|types|events): \d+$", line)
        if heading:
            section = heading.group(1)
        elif section in ("types", "events") and re.match(r"^  \S", line):
            names.add((section, line.split()[0]))
    return names


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    host_sim, demo = sys.argv[1], sys.argv[2]
    # A parser that took everything would prove nothing.
    if not parse_errors("L{unclosed\r\n"):
        sys.exit("epytext check: the parser accepts an unbalanced brace")

    items = described_items(host_sim, demo)
    failed = 0
    for section, name, text in items:
        for error in parse_errors(text):
            print(f"{demo}: {section} {name}: {error}", file=sys.stderr)
            failed += 1
    if not items:
        print(f"{demo}: no epytext items", file=sys.stderr)
        failed += 1
    print(f"epytext: {len(items)} items of {demo.rsplit('/', 1)[-1]} parsed by pydoctor, {failed} errors")

    if len(sys.argv) == 4:
        shipping = sys.argv[3]
        parsed = {(section, name) for section, name, _ in items}
        names = api_names(host_sim, shipping)
        missing = sorted(names - parsed)
        for section, name in missing:
            print(f"{shipping}: {section} {name} is not among the parsed items", file=sys.stderr)
        failed += len(missing) + (0 if names else 1)
        print(f"epytext: {len(names)} types and events of {shipping.rsplit('/', 1)[-1]}, "
              f"{len(names) - len(missing)} among them")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
