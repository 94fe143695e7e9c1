#!/usr/bin/env python3
"""Breaks the product code on purpose, one change at a time, and checks that
the test suite notices.

Each change in scripts/mutations.txt names a file, an exact piece of one line
and its replacement. For each change the runner applies it, builds the normal
build (build/), runs the unit tests, and runs the end-to-end tests only when
the unit tests pass. A change to the Windows layer (platform/win32/) is built
in build-win/ instead and checked by the Windows tests under Wine (the unit
suite and the end-to-end scenarios, which use build/'s e2e_tests). Then it
puts the file back. A change is "killed" when a
build of the tests or a test fails, "survived" otherwise; a change whose
original text is no longer in the file (the code moved on) is reported as
"missing" and skipped.

Usage: scripts/mutation_check.py [--unit-only] [--only ID[,ID...]] [--from ID]
                                 [--e2e-exclude REGEX] [--out FILE]
"""

import argparse
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
BUILD_WIN = os.path.join(ROOT, "build-win")
UNIT_TIMEOUT_S = 300
E2E_TIMEOUT_S = 1800


def parse_mutations(path):
    """Reads the list: '@ file' starts an entry, '- ' the original text,
    '+ ' the replacement, '= ' a note (e.g. why the change is harmless)."""
    mutations = []
    current = None
    with open(path, encoding="utf-8") as listing:
        for number, line in enumerate(listing, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            tag, text = line[:2], line[2:]
            if tag == "@ ":
                current = {"id": len(mutations) + 1, "file": text.strip(), "line": number,
                           "original": None, "replacement": None, "note": ""}
                mutations.append(current)
            elif current is None:
                sys.exit(f"{path}:{number}: entry text before any '@ file' line")
            elif tag == "- ":
                current["original"] = text
            elif tag == "+ ":
                current["replacement"] = text
            elif tag == "= ":
                current["note"] = text
            else:
                sys.exit(f"{path}:{number}: lines start with '@ ', '- ', '+ ', '= ' or '#'")
    for m in mutations:
        if m["original"] is None or m["replacement"] is None:
            sys.exit(f"{path}:{m['line']}: entry without '- ' or '+ ' line")
    return mutations


def run(command, timeout):
    """Runs command quietly; returns (passed, last lines of its output)."""
    # Test output may hold any byte (the adapter's garbage at wrong settings).
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, encoding="utf-8", errors="replace",
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return False, "timed out\n" + output[-2000:]
    return process.returncode == 0, output[-2000:]


def build(directory=BUILD):
    return run(["cmake", "--build", directory, "-j2"], 1800)


def is_windows(mutation):
    return mutation["file"].startswith("platform/win32/")


def configure_windows():
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD_WIN, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release",
                    "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(ROOT, "cmake", "mingw-w64-x86_64.cmake"),
                    "-DVOSTREL_LINUX_BUILD_DIR=" + BUILD],
                   cwd=ROOT, stdout=subprocess.DEVNULL, check=True)
    built, log = build(BUILD_WIN)
    if not built:
        sys.exit("the unchanged tree does not build for Windows:\n" + log)


def find_unique(text, piece):
    """Where piece is in text: its one place, or, when it starts with blanks
    and is found more than once, its one place at the start of a line.
    Returns (index, count found)."""
    count = text.count(piece)
    if count > 1 and piece[:1].isspace():
        starts = [i for i in range(len(text)) if text.startswith(piece, i)
                  and (i == 0 or text[i - 1] == "\n")]
        if len(starts) == 1:
            return starts[0], 1
    return text.find(piece), count


def check(mutation, args):
    path = os.path.join(ROOT, mutation["file"])
    if not os.path.exists(path):
        return "missing", "no such file"
    with open(path, encoding="utf-8") as source:
        original = source.read()
    at, count = find_unique(original, mutation["original"])
    if count == 0:
        return "missing", "original text not found"
    if count > 1:
        return "missing", f"original text found {count} times"
    mutated = (original[:at] + mutation["replacement"] +
               original[at + len(mutation["original"]):])
    try:
        with open(path, "w", encoding="utf-8") as source:
            source.write(mutated)
        built, log = build(BUILD_WIN if is_windows(mutation) else BUILD)
        if not built:
            return "uncompilable", log.strip().splitlines()[-1] if log.strip() else ""
        if is_windows(mutation):
            passed, log = run(["ctest", "--test-dir", BUILD_WIN, "-L", "windows", "-LE", "install",
                               "-j4", "--timeout", "300"], E2E_TIMEOUT_S)
            return ("survived", "every Windows test passes") if passed else \
                ("killed", "windows: " + failed_names(log))
        passed, log = run([os.path.join(BUILD, "tests", "unit_tests"), "--gtest_brief=1"],
                          UNIT_TIMEOUT_S)
        if not passed:
            return "killed", "unit: " + failed_names(log)
        if args.unit_only:
            return "survived", "unit tests pass (e2e not run)"
        command = ["ctest", "--test-dir", BUILD, "-L", "e2e", "-j8", "--timeout", "600"]
        if args.e2e_exclude:
            command += ["-E", args.e2e_exclude]
        passed, log = run(command, E2E_TIMEOUT_S)
        if not passed:
            return "killed", "e2e: " + failed_names(log)
        return "survived", "every test passes"
    finally:
        with open(path, "w", encoding="utf-8") as source:
            source.write(original)


def failed_names(log):
    names = []
    for line in log.splitlines():
        line = line.strip()
        if line.startswith("[  FAILED  ]") and "," not in line and "listed below" not in line:
            names.append(line.split()[3] if len(line.split()) > 3 else line)
        elif "***Failed" in line or "***Timeout" in line or "(Failed)" in line:
            names.append(line.split(" - ")[-1].split()[0] if " - " in line else line)
        elif line.startswith("timed out"):
            names.append("timed out")
    unique = list(dict.fromkeys(n for n in names if n))
    return ", ".join(unique[:4]) if unique else "tests failed"


def main():
    # Stopped from outside, the file being changed is still put back.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    parser = argparse.ArgumentParser()
    parser.add_argument("--unit-only", action="store_true")
    parser.add_argument("--only", default="")
    parser.add_argument("--from", dest="first", type=int, default=1)
    parser.add_argument("--e2e-exclude", default="")
    parser.add_argument("--list", default=os.path.join(ROOT, "scripts", "mutations.txt"))
    parser.add_argument("--out", default="")
    args = parser.parse_args()

    mutations = parse_mutations(args.list)
    if args.only:
        wanted = {int(i) for i in args.only.split(",")}
        mutations = [m for m in mutations if m["id"] in wanted]
    mutations = [m for m in mutations if m["id"] >= args.first]

    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Debug", "-DVOSTREL_SANITIZE=OFF"],
                   cwd=ROOT, stdout=subprocess.DEVNULL, check=True)
    built, log = build()
    if not built:
        sys.exit("the unchanged tree does not build:\n" + log)
    passed, log = run([os.path.join(BUILD, "tests", "unit_tests"), "--gtest_brief=1"],
                      UNIT_TIMEOUT_S)
    if not passed:
        sys.exit("the unit tests fail on the unchanged tree:\n" + log)
    if any(is_windows(m) for m in mutations):
        configure_windows()

    out = open(args.out, "w", encoding="utf-8") if args.out else None
    tally = {}
    for m in mutations:
        start = time.monotonic()
        verdict, detail = check(m, args)
        tally[verdict] = tally.get(verdict, 0) + 1
        row = (f"{m['id']:3d} {verdict:12s} {m['file']}: {m['original'].strip()!r} -> "
               f"{m['replacement'].strip()!r} [{detail}] ({time.monotonic() - start:.0f} s)")
        if m["note"]:
            row += f" note: {m['note']}"
        print(row, flush=True)
        if out:
            out.write(row + "\n")
            out.flush()
    build()  # leave the builds matching the unchanged sources
    if any(is_windows(m) for m in mutations):
        build(BUILD_WIN)
    summary = ", ".join(f"{count} {verdict}" for verdict, count in sorted(tally.items()))
    print(f"{len(mutations)} changes: {summary}")
    if out:
        out.write(f"{len(mutations)} changes: {summary}\n")
        out.close()
    return 1 if tally.get("survived") else 0


if __name__ == "__main__":
    sys.exit(main())
