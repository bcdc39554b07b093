#!/usr/bin/env python3
"""clang-tidy over the sources of src/, tools/, tests/, fuzz/ and bench/ that the compile database lists
(the build's generated moc files are left out), with the .clang-tidy files of the checkout; every finding is an
error. Prints each distinct finding once, with the path of the file in the checkout, and a count by check.

  scripts/tidy-check.py [--build DIR] [-j N] [FILE...]   DIR holds compile_commands.json (default: build)

A file clang-tidy passed is remembered under ${XDG_CACHE_HOME:-~/.cache}/ostrell/clang-tidy, keyed by
everything that can change the verdict: the file, every project header it reaches, its compile command
(paths relative to the checkout, so another clone shares the cache), the configuration, the clang-tidy
version and the Qt and C++ library packages. A file with findings is never remembered, so it is checked
and reported again on every run. Exit status 0 clean, 1 findings, 2 cannot run.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CHECKED = ("src/", "tools/", "tests/", "fuzz/", "bench/")
INCLUDE = re.compile(rb'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)
# Headers are reached through the build's include links (build/include/<library>/), so the filter names
# those as well as the checkout's own folders.
HEADER_FILTER = "^({root}/(src|tools|tests|fuzz|bench)/|{build}/include/)"
FINDING = re.compile(r"^(/[^:]+):(\d+):(\d+): (warning|error): (.*?)(?: \[([^\]]+)\])?$")


def relative(path):
    """A path under the checkout as the checkout names it (the build's include links resolved)."""
    real = os.path.realpath(path)
    return os.path.relpath(real, ROOT) if real.startswith(ROOT + os.sep) else path


def include_dirs(entry):
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    dirs = []
    for i, a in enumerate(args):
        if a in ("-I", "-isystem", "-iquote") and i + 1 < len(args):
            dirs.append(args[i + 1])
        elif a.startswith("-I") and len(a) > 2:
            dirs.append(a[2:])
    return [os.path.join(entry["directory"], d) for d in dirs]


def project_headers(source, dirs, memo):
    """Every file of the checkout that source reaches through #include, itself included (real paths)."""
    seen, todo = set(), [os.path.realpath(source)]
    while todo:
        path = todo.pop()
        if path in seen:
            continue
        seen.add(path)
        if path not in memo:
            try:
                with open(path, "rb") as f:
                    names = INCLUDE.findall(f.read())
            except OSError:
                names = []
            memo[path] = names
        for name in memo[path]:
            for d in [os.path.dirname(path)] + dirs:
                candidate = os.path.realpath(os.path.join(d, name.decode("utf-8", "replace")))
                if candidate.startswith(ROOT + os.sep) and os.path.isfile(candidate):
                    todo.append(candidate)
                    break
    return sorted(seen)


def file_key(common, entry, headers, build):
    h = hashlib.sha256(common)
    command = entry.get("command") or " ".join(entry["arguments"])
    h.update(command.replace(build, "<build>").replace(ROOT, "<root>").encode())
    for path in headers:
        h.update(os.path.relpath(path, ROOT).encode() + b"\0")
        with open(path, "rb") as f:
            h.update(hashlib.sha256(f.read()).digest())
    return h.hexdigest()


def common_key(tidy):
    parts = [subprocess.run([tidy, "--version"], capture_output=True, text=True).stdout]
    pkgs = subprocess.run(["dpkg-query", "-W", "qt6-base-dev", "libstdc++-*-dev"], capture_output=True, text=True)
    parts.append(pkgs.stdout)
    parts.append(HEADER_FILTER)
    for name in (".clang-tidy", ".clang-format", "tests/.clang-tidy"):
        with open(os.path.join(ROOT, name), encoding="utf-8") as f:
            parts.append(f.read())
    return "\0".join(parts).encode()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build")
    ap.add_argument("-j", "--jobs", type=int, default=int(os.environ.get("JOBS", os.cpu_count() or 2)))
    ap.add_argument("files", nargs="*", help="only these sources (default: every one the database lists)")
    args = ap.parse_args()
    tidy = shutil.which("clang-tidy-14") or shutil.which("clang-tidy")
    build = os.path.realpath(os.path.join(ROOT, args.build) if not os.path.isabs(args.build) else args.build)
    db = os.path.join(build, "compile_commands.json")
    if not tidy:
        print("tidy-check: clang-tidy is needed", file=sys.stderr)
        return 2
    if not os.path.isfile(db):
        print("tidy-check: no %s (configure with cmake first)" % db, file=sys.stderr)
        return 2
    with open(db, encoding="utf-8") as f:
        entries = {}
        for e in json.load(f):
            path = os.path.realpath(os.path.join(e["directory"], e["file"]))
            rel = os.path.relpath(path, ROOT)
            if rel.startswith(CHECKED) and not path.startswith(build + os.sep):
                entries[rel] = e
    wanted = [relative(os.path.abspath(f)) for f in args.files] or sorted(entries)
    unknown = [f for f in wanted if f not in entries]
    if unknown or not wanted:
        print("tidy-check: not in %s: %s" % (db, " ".join(unknown) or "any source of " + " ".join(CHECKED)),
              file=sys.stderr)
        return 2

    cache = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "ostrell", "clang-tidy")
    os.makedirs(cache, exist_ok=True)
    common = common_key(tidy)
    memo = {}
    todo = []
    for rel in wanted:
        e = entries[rel]
        key = file_key(common, e, project_headers(os.path.join(ROOT, rel), include_dirs(e), memo), build)
        if not os.path.exists(os.path.join(cache, key)):
            todo.append((rel, key))

    header_filter = HEADER_FILTER.format(root=re.escape(ROOT), build=re.escape(build))

    def check(item):
        rel, key = item
        r = subprocess.run(["nice", tidy, "-p", build, "--quiet", "--warnings-as-errors=*",
                            "--header-filter=" + header_filter, os.path.join(ROOT, rel)],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        if r.returncode == 0:
            open(os.path.join(cache, key), "w").close()
        return rel, r.returncode, r.stdout

    started = time.monotonic()
    findings, failed, log = {}, [], []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for rel, status, out in pool.map(check, todo):
            log.append(out)
            if status == 0:
                continue
            failed.append(rel)
            for line in out.splitlines():
                m = FINDING.match(line)
                if m:
                    where = "%s:%s:%s" % (relative(m.group(1)), m.group(2), m.group(3))
                    check_name = (m.group(6) or "compiler").replace(",-warnings-as-errors", "")
                    findings[(where, m.group(5))] = check_name
    with open(os.path.join(build, "tidy.log"), "w", encoding="utf-8") as f:
        f.write("\n".join(log))
    for (where, text), check_name in sorted(findings.items()):
        print("%s: %s [%s]" % (where, text, check_name))
    if failed:
        counts = {}
        for c in findings.values():
            counts[c] = counts.get(c, 0) + 1
        for c, n in sorted(counts.items(), key=lambda kv: -kv[1]):
            print("%6d %s" % (n, c))
        if not findings:
            print("tidy-check: clang-tidy failed without a finding on: " + " ".join(failed))
        print("tidy-check: %d findings in %d of %d files (full output in %s/tidy.log)"
              % (len(findings), len(failed), len(wanted), build))
    print("tidy-check: %d files, %d from the cache, %d checked with %d jobs in %.0f s: %s"
          % (len(wanted), len(wanted) - len(todo), len(todo), args.jobs, time.monotonic() - started,
             "FAILED" if failed else "clean"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
