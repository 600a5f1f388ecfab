#!/usr/bin/env python3
"""Checks the rules of pdf/README.md that a program can check.

    library_layout.py PDF_DIR      check the library in PDF_DIR
    library_layout.py --self-test  check that the checks find what they must

Rules:
  - includes go one way: a file under core/ includes nothing under image/ or
    draw/, a file under draw/ nothing under image/, a file under
    annotations/ nothing but core/; binding/ sees the public header only;
  - no function of the library is longer than MAX_LINES lines.
Every offence is printed; the exit status is 1 when there is one.
"""
import os
import re
import sys
import tempfile

MAX_LINES = 80

# Folders each folder may include from; files directly in pdf/ may include
# anything.
ALLOWED = {
    "core": {"core"},
    "draw": {"core", "draw"},
    "image": {"core", "draw", "image"},
    "annotations": {"core", "annotations"},
    "binding": {"binding"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def library_files(root):
    for folder, _, names in os.walk(root):
        for name in sorted(names):
            if name.endswith((".cpp", ".h", ".c")):
                yield os.path.join(folder, name)


def folder_of(root, path):
    parts = os.path.relpath(path, root).split(os.sep)
    return parts[0] if len(parts) > 1 else None


def included_folder(root, path, target):
    """The library folder an include names, or None for anything else."""
    for base in (os.path.dirname(path), root):
        candidate = os.path.normpath(os.path.join(base, target))
        if os.path.exists(candidate) and candidate.startswith(os.path.abspath(root)):
            return folder_of(root, candidate)
    return None


def include_offences(root):
    root = os.path.abspath(root)
    for path in library_files(root):
        folder = folder_of(root, path)
        if folder not in ALLOWED:
            continue
        with open(path, encoding="utf-8", errors="replace") as source:
            for target in INCLUDE.findall(source.read()):
                found = included_folder(root, path, target)
                if found is not None and found not in ALLOWED[folder]:
                    yield f"{os.path.relpath(path, root)}: includes {target} ({folder}/ may " \
                          f"include only {', '.join(sorted(ALLOWED[folder]))}/)"


def strip(text):
    """The text without comments, strings and character literals; lines kept."""
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r'"(\\.|[^"\\\n])*"', '""', text)
    return re.sub(r"'(\\.|[^'\\\n])*'", "''", text)


def long_functions(root):
    """Functions longer than MAX_LINES: a block at namespace level that follows
    a parameter list, from the line of its name to its closing brace."""
    for path in library_files(os.path.abspath(root)):
        if not path.endswith((".cpp", ".c")):
            continue
        with open(path, encoding="utf-8", errors="replace") as source:
            lines = strip(source.read()).split("\n")
        outer = []  # for each open brace: True for a namespace or extern block
        start = None
        for number, line in enumerate(lines):
            for char in line:
                if char == "{":
                    head = " ".join(lines[max(0, number - 8):number + 1])
                    at_top = all(outer)
                    if at_top and start is None and re.search(r"\)\s*(const\s*)?\{$", head.rstrip()):
                        first = number
                        while first > 0 and "(" not in lines[first]:
                            first -= 1
                        start = first
                    outer.append(bool(re.search(r"\b(namespace|extern)\b[^(]*\{$", line.strip())))
                elif char == "}":
                    if outer:
                        outer.pop()
                    if start is not None and all(outer):
                        length = number - start + 1
                        if length > MAX_LINES:
                            yield f"{os.path.relpath(path, root)}:{start + 1}: function of " \
                                  f"{length} lines (at most {MAX_LINES})"
                        start = None


def check(root, quiet=False):
    offences = list(include_offences(root)) + list(long_functions(root))
    for offence in offences if not quiet else []:
        print(offence)
    return offences


def self_test():
    """The checks must see an include against the rules and a long function."""
    with tempfile.TemporaryDirectory() as root:
        files = {
            "core/a.h": "",
            "core/b.cpp": '#include "a.h"\n#include "../draw/c.h"\n',
            "draw/c.h": '#include "../image/d.h"\n',
            "image/d.h": '#include "../core/a.h"\n#include "../draw/c.h"\n',
            "image/long.cpp": "namespace {\nint f(int x) {\n" + "    x++;\n" * MAX_LINES
                              + "    return x;\n}\n}  // namespace\n"
                              + "int g(int x) {\n    return x;\n}\n",
        }
        for name, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
            with open(os.path.join(root, name), "w") as out:
                out.write(text)
        found = check(root, quiet=True)
        expected = ["core/b.cpp: includes ../draw/c.h", "draw/c.h: includes ../image/d.h",
                    "image/long.cpp:2: function of 83 lines"]
        missing = [e for e in expected if not any(f.startswith(e) for f in found)]
        if missing or len(found) != len(expected):
            print("self-test failed; expected", expected, "found", found)
            return 1
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    return 1 if check(sys.argv[1]) else 0


if __name__ == "__main__":
    sys.exit(main())
