#!/usr/bin/env python3
"""Measures the native tests by the faults they catch.

Makes single-point changes ("mutants") to C++ sources by rule, and for each one rebuilds the
native build incrementally, runs the tests its change relinked, and puts the file back. A mutant
the tests fail on is caught; one they pass on survives and shows a case no test exercises.

    scripts/mutate.py [FILES...] [--sample N --seed S] [--jobs N] [--since REV]

Needs Python 3, CMake and the project's native build only. See docs/testing.md.
"""

import argparse
import fcntl
import json
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor, FIRST_COMPLETED, wait
from dataclasses import dataclass, asdict, field
from pathlib import Path

# The portable code the native tests build; Windows glue, fuzz targets and data stay out.
DEFAULT_FOLDERS = ["listing", "settings", "cli", "uninstaller", "tools"]
SOURCE_SUFFIXES = {".cpp", ".h"}
SKIP_MARK = re.compile(r"//.*\bmutate: skip\b")
# Tests carrying this label (the script's own test) never run for a mutant.
OWN_TEST_LABEL = "mutate"


@dataclass
class Mutant:
    file: str  # relative to the project root, with forward slashes
    line: int  # 1-based
    rule: str
    before: str  # the whole line, as written
    after: str
    status: str = "pending"
    killed_by: list = field(default_factory=list)
    seconds: float = 0.0
    build_seconds: float = 0.0  # of which rebuilding, the rest testing

    @property
    def folder(self):
        return os.path.dirname(self.file) or "."

    def describe(self):
        return f"{self.file}:{self.line}: {self.before.strip()} → {self.after.strip()}"


# ---------------------------------------------------------------- reading C++ without a parser

def mask_source(text):
    """Returns (mask, literals). The mask has the text's length and line breaks: comments are
    blanked, the insides of string and character literals become 'x'. literals lists the
    (start, end) of each ordinary string literal, quotes included (raw strings are left out)."""
    out = list(text)
    literals = []
    i, n = 0, len(text)

    def blank(a, b, fill):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = fill

    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            blank(i, end, " ")
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end, " ")
            i = end
        elif c == '"' and re.search(r"(?:^|[^\w])(?:u8|[uUL])?R$", text[max(0, i - 4):i]):
            close = text.find("(", i)
            delim = text[i + 1:close]
            end = text.find(")" + delim + '"', close)
            end = n if end < 0 else end + len(delim) + 2
            blank(i + 1, end - 1, "x")
            i = end
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # a digit separator: 1'000
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            end = min(j + 1, n)
            if c == '"':
                literals.append((i, end))
            blank(i + 1, end - 1, "x")
            i = end
        else:
            i += 1
    return "".join(out), literals


RELATIONAL = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
KEYWORDS_NOT_CALLS = {"return", "delete", "throw", "case", "goto", "sizeof", "static_assert",
                      "if", "while", "for", "switch", "else", "do", "new", "co_return"}
# A type and a name before "[": a declarator (const T name[3], ...), not an index (f(a[3])).
ARRAY_PARAMETER = re.compile(r"(?<![\w.])(?!(?:return|delete|case|sizeof|throw|else|new)\b)"
                             r"[A-Za-z_][\w:<>]*[\s*&]+[A-Za-z_]\w*\s*\[\s*$")
ESCAPE_UNIT = re.compile(r"\\(?:x[0-9a-fA-F]+|[0-7]{1,3}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|.)|.", re.S)


def matching_paren(mask_line, open_at):
    depth = 0
    for k in range(open_at, len(mask_line)):
        if mask_line[k] == "(":
            depth += 1
        elif mask_line[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def line_mutations(line, mask, literal_spans, starts_statement):
    """Yields (rule, mutated line) for one line of code; mask is its masked form."""
    for m in re.finditer(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)", mask):
        yield "relational", line[:m.start()] + RELATIONAL[m.group(1)] + line[m.end():]
    for m in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", mask):
        other = "||" if m.group(1) == "&&" else "&&"
        yield "logical", line[:m.start()] + other + line[m.end():]
    for m in re.finditer(r"\b(if|while)\s*\(", mask):
        if re.match(r"\s*constexpr\b", mask[m.end():]):
            continue
        close = matching_paren(mask, m.end() - 1)
        if close > 0:
            yield "negate", line[:m.end()] + "!(" + line[m.end():close] + ")" + line[close:]
    for m in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlLzZ]*)(?![\w.'])", mask):
        digits = m.group(1)
        if len(digits) > 1 and digits[0] == "0" and digits[1] not in "xX":
            continue  # octal: rare enough to leave alone
        if re.search(r"\)\s*(?:const\s*)?(?:override\s*)?=\s*$", mask[:m.start()]):
            continue  # the 0 of a pure virtual function is no number
        before = mask[:m.start()]
        if ARRAY_PARAMETER.search(before) and before.count("(") > before.count(")") and \
                re.match(r"\s*\]\s*[,)]", mask[m.end():]):
            continue  # the bound of an array parameter: the parameter is a pointer whatever it says
        value = int(digits, 0)
        for changed in (value + 1, value - 1):
            if changed < 0:
                continue
            if digits[:2].lower() == "0x":
                text = f"{changed:x}" if digits[2:] == digits[2:].lower() else f"{changed:X}"
                text = digits[:2] + text
            else:
                text = str(changed)
            yield "constant", line[:m.start(1)] + text + line[m.end(1):]
    for m in re.finditer(r"\breturn\s+(true|false)\s*;", mask):
        other = "false" if m.group(1) == "true" else "true"
        yield "return", line[:m.start(1)] + other + line[m.end(1):]
    if starts_statement:
        indent = len(line) - len(line.lstrip())
        call = re.match(r"\s*((?:[A-Za-z_]\w*(?:::|\.|->))*([A-Za-z_]\w*))\s*\(.*\)\s*;\s*$", mask)
        guard = re.match(r"\s*if\s*\(", mask)
        if call and call.group(1).split(":")[0].split(".")[0] not in KEYWORDS_NOT_CALLS \
                and matching_paren(mask, mask.index("(")) == len(mask.rstrip()) - 2:
            yield "call", line[:indent] + ";"
        elif guard and matching_paren(mask, guard.end() - 1) > 0:
            close = matching_paren(mask, guard.end() - 1)
            rest = mask[close + 1:]
            if re.search(r"\w\s*\(", mask[guard.end():close]) and \
                    re.match(r"\s*(return\b.*|continue|break|throw\b.*);\s*$", rest):
                yield "call", line[:indent] + ";"
    for start, end in literal_spans:
        inner = line[start + 1:end - 1]
        units = ESCAPE_UNIT.findall(inner)
        escapes = [u for u in units if u.startswith("\\")]
        # Escapes and entities are what an escaping table is made of; a line break ending a
        # message is not.
        if re.search(r"&#?\w+;", inner) or any(u not in ("\\n", "\\t") for u in escapes) or \
                (escapes and len(units) <= 4):
            yield "escape", line[:start + 1] + "".join(units[:-1]) + line[end - 1:]


def file_mutants(root, rel):
    text = (root / rel).read_text(encoding="utf-8", errors="surrogateescape")
    mask, literals = mask_source(text)
    lines, masks = text.split("\n"), mask.split("\n")
    starts, pos = [], 0
    for line in lines:
        starts.append(pos)
        pos += len(line) + 1
    mutants, seen = [], set()
    in_directive = False
    previous_code = ";"
    for number, (line, masked) in enumerate(zip(lines, masks), 1):
        directive = in_directive or masked.lstrip().startswith("#")
        in_directive = directive and line.endswith("\\")
        stripped = masked.strip()
        if directive or not stripped or SKIP_MARK.search(line):
            if stripped and not directive:
                previous_code = stripped
            continue
        first, last = starts[number - 1], starts[number - 1] + len(line)
        spans = [(a - first, b - first) for a, b in literals if a >= first and b <= last]
        starts_statement = previous_code[-1] in ";{}:" or previous_code.endswith("else")
        for rule, after in line_mutations(line, masked, spans, starts_statement):
            if after != line and after not in seen:
                seen.add(after)
                mutants.append(Mutant(rel, number, rule, line, after))
        seen.clear()
        previous_code = stripped
    return mutants


def changed_lines(root, since, files):
    """The lines of each file added or changed since the revision (work tree included)."""
    diff = subprocess.run(["git", "-C", str(root), "diff", "-U0", since, "--", *files],
                          check=True, capture_output=True, text=True).stdout
    result, current = {}, None
    for line in diff.splitlines():
        if line.startswith("+++ "):
            current = line[6:] if line.startswith("+++ b/") else None
        elif line.startswith("@@") and current:
            m = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)
            first, count = int(m.group(1)), int(m.group(2) or "1")
            result.setdefault(current, set()).update(range(first, first + count))
    return result


def read_equivalents(root):
    """Mutants explained as equivalent in docs/testing.md: - `file`: `before` → `after`: why."""
    doc = root / "docs" / "testing.md"
    found = set()
    if doc.exists():
        for line in doc.read_text(encoding="utf-8").splitlines():
            m = re.match(r"\s*[-*]\s*`([^`]+)`:\s*`(.+?)`\s*→\s*`(.+?)`", line)
            if m:
                found.add((m.group(1), m.group(2).strip(), m.group(3).strip()))
    return found


def relative_to_root(root, name):
    """A file named relative to the root, the current folder, or absolutely."""
    path = Path(name)
    if not path.is_absolute() and not (root / path).exists():
        path = Path.cwd() / path
    return path.resolve().relative_to(root).as_posix() if path.is_absolute() else path.as_posix()


def survivors_of(root, report):
    """The survivors of an earlier run, found again by their line's text if lines have moved."""
    mutants = []
    for old in json.loads(report.read_text(encoding="utf-8"))["mutants"]:
        if old["status"] != "survived":
            continue
        lines = (root / old["file"]).read_text(encoding="utf-8", errors="surrogateescape").split("\n")
        if lines[old["line"] - 1:old["line"]] != [old["before"]]:
            moved = [n for n, line in enumerate(lines, 1) if line == old["before"]]
            if len(moved) != 1:
                print(f"{old['file']}:{old['line']}: the line has changed; not tried", file=sys.stderr)
                continue
            old["line"] = moved[0]
        mutants.append(Mutant(old["file"], old["line"], old["rule"], old["before"], old["after"]))
    return mutants


def resume_from(report, mutants):
    """Takes over what an earlier run settled for mutants whose line is unchanged: caught, not
    compiled, in no test program. Its survivors and what it did not reach are tried again."""
    settled = {(old["file"], old["line"], old["before"], old["after"]): old
               for old in json.loads(report.read_text(encoding="utf-8"))["mutants"]
               if old["status"] in CAUGHT | {"stillborn", "unbuilt"}}
    for m in mutants:
        old = settled.get((m.file, m.line, m.before, m.after))
        if m.status == "pending" and old:
            m.status, m.killed_by = old["status"], old["killed_by"]
            m.seconds, m.build_seconds = old["seconds"], old["build_seconds"]


def default_files(root, folders=DEFAULT_FOLDERS):
    files = []
    for folder in folders:
        for path in sorted((root / folder).rglob("*")):
            rel = path.relative_to(root)
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            if any(part in ("win32", "fuzz") for part in rel.parts) or "_win32." in path.name:
                continue
            files.append(rel.as_posix())
    return files


# ---------------------------------------------------------------- builds, tests and restoring

class Restorer:
    """Keeps every mutated file's original text, in memory and in the build folder (so that a
    killed run is mended by the next one), and puts it back on demand."""

    def __init__(self, build):
        self.store = build / "mutate-originals"
        self.lock = threading.Lock()
        self.active = {}  # path -> original bytes
        self.stopped = False

    def mend_leftovers(self, root):
        if not self.store.exists():
            return
        for saved in self.store.rglob("*"):
            if saved.is_file():
                target = root / saved.relative_to(self.store)
                target.write_bytes(saved.read_bytes())
                print(f"restored {target} left mutated by an earlier run", file=sys.stderr)
                saved.unlink()

    def mutate(self, path, rel, original, text):
        with self.lock:
            if self.stopped:
                return False
            saved = self.store / rel
            saved.parent.mkdir(parents=True, exist_ok=True)
            saved.write_bytes(original)
            self.active[path] = (original, saved)
            path.write_bytes(text)
            return True

    def restore(self, path):
        with self.lock:
            self._restore(path)

    def _restore(self, path):
        if path not in self.active:
            return
        original, saved = self.active.pop(path)
        path.write_bytes(original)
        saved.unlink(missing_ok=True)

    def restore_all(self):
        with self.lock:
            self.stopped = True
            for path in list(self.active):
                self._restore(path)


# Address space of a test under a mutant: a mutant that starts threads without end (a loop's
# condition turned) meets it after a few hundred stacks, instead of taking every thread the
# machine has from everything else running.
TEST_ADDRESS_SPACE = 4 << 30


def limit_test_resources():
    resource.setrlimit(resource.RLIMIT_AS, (TEST_ADDRESS_SPACE, TEST_ADDRESS_SPACE))


def run(command, cwd=None, timeout=None, children=None, env=None, limited=False):
    """Runs a command in a session of its own, so that an interrupted run can end it whole."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, errors="replace", start_new_session=True, env=env,
                               preexec_fn=limit_test_resources if limited else None)
    if children is not None:
        children.add(process)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return None, output
    finally:
        if children is not None:
            children.discard(process)


class Worker:
    """One source tree with its build folder: the project itself, or a copy for --jobs."""

    def __init__(self, root, build, build_jobs, children):
        self.root, self.build, self.build_jobs, self.children = root, build, build_jobs, children
        self.tests = {}  # test name -> the programs and libraries of this build it runs
        self.commands = {}  # test name -> (command, working folder, environment)
        self.stamps = {}
        self.test_timeout = 60
        self.timeouts = {}  # test name -> its own timeout, from its time before mutating
        self.seconds = {}  # test name -> seconds before mutating: the quick ones run first
        self.restored = None  # the file last put back, not yet rebuilt

    def configure(self, first_args, settings):
        """Configures the build with first_args if it is new; sets settings the cache lacks."""
        cache = read_cache(self.build)
        changed = [f"-D{key}={value}" for key, value in settings.items() if cache.get(key) != value]
        if cache and not changed:
            return
        command = ["cmake", "-S", str(self.root), "-B", str(self.build),
                   *([] if cache else first_args), *changed]
        code, output = run(command, children=self.children)
        if code != 0:
            raise SystemExit(f"configuring {self.build} failed:\n{output}")

    def compile(self, only_tests=False, mutant=False):
        command = ["cmake", "--build", str(self.build), "--parallel", str(self.build_jobs)]
        # A mutant's object is never wanted again: kept out of a shared compiler cache, which it
        # would only fill, while the original put back still comes from it.
        env = dict(os.environ, CCACHE_DISABLE="1") if mutant else None
        if only_tests and (self.build / "build.ninja").exists():
            # Ninja builds files by name: only the test programs, so no tool is relinked for nothing.
            programs = set().union(*self.tests.values())
            command += ["--target", *sorted(os.path.relpath(exe, self.build) for exe in programs)]
        code, output = run(command, children=self.children, env=env)
        return code == 0, output

    def load_tests(self):
        code, output = run(["ctest", "--test-dir", str(self.build), "--show-only=json-v1"],
                           children=self.children)
        if code != 0:
            raise SystemExit(f"ctest cannot list the tests of {self.build}:\n{output}")
        for test in json.loads(output[output.index("{"):]).get("tests", []):
            properties = {prop.get("name"): prop.get("value") for prop in test.get("properties", [])}
            labels = properties.get("LABELS") or []
            if OWN_TEST_LABEL not in labels and test.get("command"):
                # The command may start with a launcher (sh script.sh tool...): every argument that
                # is a program of this build counts, with the libraries of the build it loads.
                inside = str(self.build) + os.sep
                programs = {arg for arg in test["command"]
                            if arg.startswith(inside) and os.access(arg, os.X_OK)}
                self.tests[test["name"]] = programs | self.loaded_libraries(programs)
                self.commands[test["name"]] = (test["command"], properties.get("WORKING_DIRECTORY"),
                                               dict(os.environ, **dict(
                                                   v.split("=", 1) for v in properties.get("ENVIRONMENT", []))))
        self.stamps = self.executable_stamps()

    def loaded_libraries(self, programs):
        """The shared libraries of this build the programs load (none in a build of static ones)."""
        inside, libraries = str(self.build) + os.sep, set()
        for program in programs:
            code, output = run(["ldd", program], children=self.children)
            if code == 0:
                libraries |= set(re.findall(r"=> (" + re.escape(inside) + r"\S+)", output))
        return libraries

    def executable_stamps(self):
        folders = {Path(exe).parent for exe in set().union(*self.tests.values())}
        stamps = {}
        for folder in folders:
            for path in folder.glob("*") if folder.is_dir() else []:
                if path.is_file() and os.access(path, os.X_OK):
                    stamps[str(path)] = path.stat().st_mtime_ns
        return stamps

    def relinked(self):
        now = self.executable_stamps()
        changed = {path for path, stamp in now.items() if self.stamps.get(path) != stamp}
        self.stamps = now
        return changed

    def run_tests(self, names, stop_on_failure=True):
        """Runs each test's command as ctest would, but itself, so that this run's timeout holds
        whatever TIMEOUT the test declares. Returns (passed, failed test names, timed out,
        seconds per test)."""
        failed, timed_out, seconds = [], False, {}
        for name in sorted(names, key=lambda n: self.seconds.get(n, 0)):
            limit = self.timeouts.get(name, self.test_timeout)
            command, folder, env = self.commands[name]
            started = time.monotonic()
            code, _ = run(command, cwd=folder, children=self.children, timeout=limit, env=env, limited=True)
            seconds[name] = time.monotonic() - started
            if code is None:
                timed_out = True
            elif code != 0:
                failed.append(name)
            else:
                continue
            if stop_on_failure:
                break
        return not failed and not timed_out, failed, timed_out, seconds


def mutation_settings():
    """How the script's own build is made: without optimisation, so a mutant compiles quickly,
    but with assertions (Debug), which catch mutants too; without debug information and, where
    there is one, with a fast linker."""
    settings = {"CMAKE_BUILD_TYPE": "Debug", "CMAKE_C_FLAGS_DEBUG": "-O0", "CMAKE_CXX_FLAGS_DEBUG": "-O0",
                # A mutant relinks the one library it is in, not every program that uses it.
                "TESSORY_SHARED_PORTABLE": "ON"}
    if shutil.which("ld.lld"):
        settings["CMAKE_EXE_LINKER_FLAGS"] = settings["CMAKE_SHARED_LINKER_FLAGS"] = "-fuse-ld=lld"
    return settings


def read_cache(build):
    cache = {}
    if (build / "CMakeCache.txt").exists():
        for line in (build / "CMakeCache.txt").read_text().splitlines():
            m = re.match(r"([A-Za-z_0-9]+):(\w+)=(.*)", line)
            if m:
                cache[m.group(1)] = m.group(3)
    return cache


def cache_arguments(build, root):
    """Configure arguments that make a copy's build like the given one: generator, build type,
    compilers, flags and the project's own option() switches."""
    cache = read_cache(build)
    options = re.findall(r"option\(\s*(\w+)", (root / "CMakeLists.txt").read_text())
    flags = [f"CMAKE_{lang}_FLAGS_{cache.get('CMAKE_BUILD_TYPE', '').upper()}" for lang in ("C", "CXX")]
    keys = ["CMAKE_BUILD_TYPE", "CMAKE_C_COMPILER", "CMAKE_CXX_COMPILER", *flags, "CMAKE_EXE_LINKER_FLAGS",
            "CMAKE_SHARED_LINKER_FLAGS", "CMAKE_C_COMPILER_LAUNCHER", "CMAKE_CXX_COMPILER_LAUNCHER", *options]
    args = ["-G", cache["CMAKE_GENERATOR"]] if "CMAKE_GENERATOR" in cache else []
    return args + [f"-D{key}={cache[key]}" for key in keys if cache.get(key)]


def copy_tree(root, target, skip):
    """Brings a copy of the project's files up to date (tracked and new files, as git sees them)."""
    listed = subprocess.run(["git", "-C", str(root), "ls-files", "-co", "--exclude-standard", "-z"],
                            capture_output=True)
    if listed.returncode == 0:
        names = [n for n in listed.stdout.decode().split("\0") if n]
    else:
        names = [p.relative_to(root).as_posix() for p in root.rglob("*")
                 if p.is_file() and skip not in p.parents and ".git" not in p.parts]
    for name in names:
        source, copy = root / name, target / name
        if not source.is_file():
            continue
        if not copy.exists() or copy.read_bytes() != source.read_bytes():
            copy.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, copy)


def try_mutant(worker, restorer, mutant, texts):
    """Applies one mutant in the worker's tree, builds, tests and puts the file back."""
    path = worker.root / mutant.file
    original = texts[mutant.file]
    if worker.restored not in (None, path):
        # Rebuild the file put back first, so that what it relinks is not taken for this mutant's.
        worker.compile(only_tests=True)
        worker.relinked()
    worker.restored = path
    lines = original.decode("utf-8", "surrogateescape").split("\n")
    lines[mutant.line - 1] = mutant.after
    started = time.monotonic()
    if not restorer.mutate(path, mutant.file, original,
                           "\n".join(lines).encode("utf-8", "surrogateescape")):
        return
    try:
        built, _ = worker.compile(only_tests=True, mutant=True)
        if not built:
            mutant.status = "stillborn"
            return
        relinked = worker.relinked()
        mutant.build_seconds = round(time.monotonic() - started, 1)
        if not relinked:  # the code is in no test program: no test can catch it
            mutant.status = "unbuilt"
            return
        # Tests that run no program of this build, and all of them if an unknown one was rebuilt.
        tests = [name for name, programs in worker.tests.items()
                 if programs & relinked or not programs]
        if relinked - set().union(*worker.tests.values()):
            tests = list(worker.tests)
        passed, failed, timed_out, _ = worker.run_tests(tests)
        if passed:
            mutant.status = "survived"
        else:
            mutant.status = "caught" if failed else "timeout"
            mutant.killed_by = failed
    finally:
        restorer.restore(path)
        if restorer.stopped:  # interrupted: its result means nothing
            mutant.status, mutant.killed_by = "pending", []
        mutant.seconds = round(time.monotonic() - started, 1)


# ---------------------------------------------------------------- reporting

CAUGHT = {"caught", "timeout"}


def tally(mutants):
    folders = {}
    for m in mutants:
        f = folders.setdefault(m.folder, {"mutants": 0, "caught": 0, "survived": 0, "equivalent": 0,
                                          "stillborn": 0, "unbuilt": 0, "seconds": 0.0,
                                          "build_seconds": 0.0})
        if m.status == "pending":
            continue
        f["mutants"] += 1
        key = "caught" if m.status in CAUGHT else m.status
        f[key] += 1
        f["seconds"] = round(f["seconds"] + m.seconds, 1)
        f["build_seconds"] = round(f["build_seconds"] + m.build_seconds, 1)
    for f in folders.values():
        judged = f["caught"] + f["survived"]
        f["score"] = round(100.0 * f["caught"] / judged, 1) if judged else None
    return folders


def write_report(path, args, mutants, seconds):
    report = {"sample": args.sample, "seed": args.seed, "since": args.since,
              "seconds": round(seconds, 1), "folders": tally(mutants),
              "mutants": [asdict(m) for m in mutants]}
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(json.dumps(report, indent=1, ensure_ascii=False) + "\n", encoding="utf-8")


def print_summary(mutants):
    for folder, f in sorted(tally(mutants).items()):
        score = "-" if f["score"] is None else f"{f['score']:.0f} %"
        print(f"{folder}: {f['caught']} of {f['caught'] + f['survived']} caught ({score}); "
              f"{f['equivalent']} equivalent, {f['stillborn']} not compiled, "
              f"{f['unbuilt']} in no test program, "
              f"{f['mutants']} mutants, {f['seconds']:.0f} s ({f['build_seconds']:.0f} s building)")
    for m in mutants:
        if m.status == "survived":
            print(m.describe())


# ---------------------------------------------------------------- the run

def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("files", nargs="*", help="C++ sources or folders, relative to the root "
                   "(default: the portable code)")
    p.add_argument("--root", type=Path, default=Path(__file__).resolve().parent.parent,
                   help="project root (default: this script's project)")
    p.add_argument("--build", type=Path, help="native build folder (default: ROOT/build/mutate, "
                   "configured as a Debug build without sanitizers if missing)")
    p.add_argument("--sample", type=int, help="try only N mutants, drawn at random")
    p.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    p.add_argument("--jobs", type=int, default=1,
                   help="build and test this many copies side by side (default 1)")
    p.add_argument("--since", metavar="REV", help="mutate only lines changed since the revision")
    p.add_argument("--timeout", type=int, help="seconds a test may run (default: 5 times its time "
                   "before mutating, at least 15)")
    p.add_argument("--report", type=Path, help="JSON report (default: BUILD/mutate-report.json)")
    p.add_argument("--retry", type=Path, metavar="REPORT",
                   help="try again the survivors of an earlier JSON report (after adding cases)")
    p.add_argument("--resume", type=Path, metavar="REPORT",
                   help="go on with a run stopped part-way: keep what its report settled")
    p.add_argument("--list", action="store_true", help="list the mutants without trying them")
    return p.parse_args(argv)


def interrupted(signum, frame):
    raise KeyboardInterrupt()


def main(argv=None):
    args = parse_args(argv)
    root = args.root.resolve()
    build = (args.build or root / "build" / "mutate").resolve()
    files = []
    for name in args.files:  # a folder stands for its portable sources
        rel = relative_to_root(root, name)
        files += default_files(root, [rel]) if (root / rel).is_dir() else [rel]
    files = files or default_files(root)

    restorer = Restorer(build)
    if not args.list:  # listing only reads; a run owns the build folder and mends it first
        build.mkdir(parents=True, exist_ok=True)
        lock = open(build / "mutate.lock", "w")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            raise SystemExit(f"another mutation run is using {build}")
        restorer.mend_leftovers(root)

    mutants = []
    if args.retry:
        mutants = survivors_of(root, args.retry)
        files = files if args.files else sorted({m.file for m in mutants})
    else:
        for rel in files:
            mutants += file_mutants(root, rel)
    mutants = [m for m in mutants if m.file in files]
    if args.since:
        lines = changed_lines(root, args.since, files)
        mutants = [m for m in mutants if m.line in lines.get(m.file, ())]
    equivalents = read_equivalents(root)
    for m in mutants:
        if (m.file, m.before.strip(), m.after.strip()) in equivalents:
            m.status = "equivalent"
    if args.sample is not None and args.sample < len(mutants):
        mutants = random.Random(args.seed).sample(mutants, args.sample)
    if args.resume:
        resume_from(args.resume, mutants)
    mutants.sort(key=lambda m: (m.file, m.line))
    if args.list:
        for m in mutants:
            print(f"{m.describe()}  [{m.rule}{', equivalent' if m.status == 'equivalent' else ''}]")
        print(f"{len(mutants)} mutants", file=sys.stderr)
        return 0
    report = args.report or build / "mutate-report.json"
    pending = [m for m in mutants if m.status == "pending"]
    if not pending:
        print("no mutants to try")
        write_report(report, args, mutants, 0)
        print_summary(mutants)
        return 0

    started = time.monotonic()
    children = set()
    jobs = max(1, min(args.jobs, len(pending)))
    build_jobs = max(1, (os.cpu_count() or 2) // jobs)
    workers = [Worker(root, build, build_jobs, children)]
    # Typed Ctrl-C and kill alike end the run through the same path, which restores every file.
    signal.signal(signal.SIGTERM, interrupted)
    try:
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        # A build folder given by name is used as it is, once configured.
        own = args.build is None or not read_cache(build)
        workers[0].configure(generator, mutation_settings() if own else {})
        for k in range(1, jobs):
            copy_root = build / "mutate-copies" / str(k)
            copy_tree(root, copy_root / "src", build)
            worker = Worker(copy_root / "src", copy_root / "build", build_jobs, children)
            worker.configure(cache_arguments(build, root), {})
            workers.append(worker)
        for worker in workers:
            built, output = worker.compile()
            if not built:
                raise SystemExit(f"the build fails before any mutation:\n{output[-4000:]}")
            worker.load_tests()
        if not workers[0].tests:
            raise SystemExit("the build has no tests to run")
        passed, failed, _, seconds = workers[0].run_tests(workers[0].tests, stop_on_failure=False)
        if not passed:
            raise SystemExit(f"tests fail before any mutation: {', '.join(failed) or 'see ctest'}")
        # Each test may take five times as long as before mutating, at least 15 s: a mutant that
        # hangs one (a lost wake-up, an endless loop) costs that long.
        timeouts = {name: args.timeout or max(15, int(5 * s) + 1) for name, s in seconds.items()}
        for worker in workers:
            worker.timeouts, worker.seconds = timeouts, seconds
        print(f"{len(pending)} mutants, {jobs} at a time; tests before mutating took "
              f"{sum(seconds.values()):.1f} s, timeouts up to {max(timeouts.values())} s", flush=True)

        texts = {rel: (root / rel).read_bytes() for rel in {m.file for m in pending}}
        queue = list(pending)
        queue_lock = threading.Lock()
        done = [0]

        def work(worker):
            while not restorer.stopped:
                with queue_lock:
                    if not queue:
                        return
                    mutant = queue.pop(0)
                try_mutant(worker, restorer, mutant, texts)
                with queue_lock:
                    done[0] += 1
                    print(f"[{done[0]}/{len(pending)}] {mutant.status}: {mutant.describe()}",
                          flush=True)
                    write_report(report, args, mutants, time.monotonic() - started)

        with ThreadPoolExecutor(max_workers=jobs) as pool:
            futures = [pool.submit(work, worker) for worker in workers]
            try:
                while futures:
                    finished, _ = wait(futures, timeout=0.5, return_when=FIRST_COMPLETED)
                    for future in finished:
                        future.result()
                        futures.remove(future)
            except BaseException:
                restorer.restore_all()
                for process in list(children):
                    try:
                        os.killpg(process.pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                raise
    except KeyboardInterrupt:
        restorer.restore_all()
        print("interrupted: every file is restored", file=sys.stderr)
        write_report(report, args, mutants, time.monotonic() - started)
        return 130
    finally:
        restorer.restore_all()
    write_report(report, args, mutants, time.monotonic() - started)
    print_summary(mutants)
    print(f"report: {report}; {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
