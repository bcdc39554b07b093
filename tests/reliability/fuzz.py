"""The fuzzers: fuzz/run builds the libFuzzer targets with clang (its own build directory beside the
main one) and runs each for the given time; this reads its one line per target."""

import os
import re
import subprocess

import harness as h

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def run(seconds, build=None, log=print):
    result = h.Result("fuzz targets")
    work = os.path.join(os.path.abspath(build), "fuzz-build") if build else os.path.join(ROOT, "build-fuzz")
    cmd = [os.path.join(ROOT, "fuzz", "run"), "--seconds", str(seconds), "--build", work]
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=seconds * 5 + 1800)
    out = r.stdout.decode("latin-1")
    executions = crashes = 0
    for line in out.splitlines():
        m = re.match(r"fuzz (\S+) executions (\d+) crashes (\d+)", line)
        if m:
            result.tried += 1
            executions += int(m.group(2))
            crashes += int(m.group(3))
            log(line)
            if int(m.group(3)):
                result.violations.append((m.group(1), "crashed (input kept under %s)" % work))
        elif line.startswith("  "):
            log(line)
    if result.tried == 0:
        result.violations.append(("fuzz/run", "no target ran (status %d): %s" % (r.returncode, out[-800:])))
    result.extra["executions"] = executions
    result.extra["crashes"] = crashes if result.tried else 1
    return result
