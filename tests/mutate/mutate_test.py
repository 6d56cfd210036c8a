#!/usr/bin/env python3
"""scripts/mutate.py on a tiny project: its rules, a whole run, --since, equivalents, an interrupt."""

import importlib.util
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
SCRIPT = HERE.parent.parent / "scripts" / "mutate.py"
module_spec = importlib.util.spec_from_file_location("mutate", SCRIPT)
mutate = importlib.util.module_from_spec(module_spec)
module_spec.loader.exec_module(mutate)


def run_script(root, *args, **kwargs):
    return subprocess.run([sys.executable, str(SCRIPT), "--root", str(root), *args],
                          capture_output=True, text=True, timeout=600, **kwargs)


class Rules(unittest.TestCase):
    def test_each_rule_changes_code_only(self):
        rows = [
            ("return a >= b && c != 0x1F;",
             {"return a > b && c != 0x1F;", "return a >= b || c != 0x1F;",
              "return a >= b && c == 0x1F;", "return a >= b && c != 0x20;",
              "return a >= b && c != 0x1E;"}),
            # Templates, shifts and comments are not comparisons.
            ("std::vector<int> v = f<T>(x >> 2);  // a < b",
             {"std::vector<int> v = f<T>(x >> 3);  // a < b",
              "std::vector<int> v = f<T>(x >> 1);  // a < b"}),
            ("while (Next(p)) Step(p);", {"while (!(Next(p))) Step(p);"}),
            ("if (!Load(file)) return false;",
             {"if (!(!Load(file))) return false;", "if (!Load(file)) return true;", ";"}),
            # A character literal is no comparison; a message's line break is no escape.
            ("Put('<', \"&lt;\", \"Done.\\n\");", {";", "Put('<', \"&lt\", \"Done.\\n\");"}),
            ("#include <map>", set()),
            ("virtual void Show() const = 0;", set()),
            # An array parameter's bound is no number; an index is.
            ("Text Join(const Text parts[3], int n);", set()),
            ("char a[2], b;", {"char a[3], b;", "char a[1], b;"}),
            ("Use(v[3], w);", {"Use(v[4], w);", "Use(v[2], w);", ";"}),
            ("x = y < 3;  // mutate: skip", set()),
            ("auto s = R\"(a < b \"q\\n\")\";", set()),
        ]
        with tempfile.TemporaryDirectory() as tmp:
            for line, expected in rows:
                with self.subTest(line=line):
                    Path(tmp, "rules.cpp").write_text(line + "\n")
                    found = {m.after for m in mutate.file_mutants(Path(tmp), "rules.cpp")}
                    self.assertEqual(found, expected)


class Runs(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = Path(cls.tmp.name, "fixture")
        shutil.copytree(HERE / "fixture", cls.root)
        cls.build = Path(cls.tmp.name, "build")
        cls.source = cls.root / "order.cpp"
        cls.original = cls.source.read_bytes()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_a_run_catches_one_and_names_the_survivor(self):
        report = Path(self.tmp.name, "report.json")
        done = run_script(self.root, "--build", str(self.build), "--report", str(report), "order.cpp")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertIn("order.cpp:6: bool AtMost(int a, int b) { return a <= b; } → "
                      "bool AtMost(int a, int b) { return a < b; }\n", done.stdout)
        self.assertIn(".: 1 of 2 caught (50 %)", done.stdout)
        data = json.loads(report.read_text())
        self.assertEqual([(m["line"], m["status"], m["killed_by"]) for m in data["mutants"]],
                         [(4, "caught", ["order_test"]), (6, "survived", [])])
        self.assertEqual(data["folders"]["."]["score"], 50.0)
        self.assertEqual(self.source.read_bytes(), self.original)

        # Resuming keeps what the report settled (marked not compiled here, to tell it from a
        # new try) and tries its survivor again.
        data["mutants"][0]["status"] = "stillborn"
        report.write_text(json.dumps(data))
        resumed = Path(self.tmp.name, "resumed.json")
        done = run_script(self.root, "--build", str(self.build), "--report", str(resumed),
                          "--resume", str(report), "order.cpp")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual([(m["line"], m["status"]) for m in json.loads(resumed.read_text())["mutants"]],
                         [(4, "stillborn"), (6, "survived")])

    def test_an_interrupted_run_restores_the_file(self):
        hold = Path(self.tmp.name, "hold")
        hold.write_text("")
        env = dict(os.environ, MUTATE_FIXTURE_HOLD=str(hold))
        process = subprocess.Popen([sys.executable, str(SCRIPT), "--root", str(self.root),
                                    "--build", str(self.build), "--report",
                                    str(Path(self.tmp.name, "interrupted.json")), "order.cpp"],
                                   env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        try:
            deadline = time.monotonic() + 300
            while self.source.read_bytes() == self.original:
                self.assertIsNone(process.poll(), "the run ended before it mutated the file")
                self.assertLess(time.monotonic(), deadline, "the file was never mutated")
                time.sleep(0.01)
            process.send_signal(signal.SIGINT)
            output, _ = process.communicate(timeout=120)
        finally:
            hold.unlink()
            if process.poll() is None:
                process.kill()
        self.assertEqual(process.returncode, 130, output)
        self.assertEqual(self.source.read_bytes(), self.original)
        self.assertEqual(list((self.build / "mutate-originals").rglob("*.cpp")), [])

    def test_since_and_equivalents_narrow_the_mutants(self):
        with tempfile.TemporaryDirectory() as tmp:
            root = Path(tmp, "fixture")
            shutil.copytree(HERE / "fixture", root)
            git = ["git", "-C", str(root), "-c", "user.name=t", "-c", "user.email=t@t"]
            subprocess.run(git + ["init", "-q"], check=True)
            subprocess.run(git + ["add", "."], check=True)
            subprocess.run(git + ["commit", "-qm", "fixture"], check=True)
            source = root / "order.cpp"
            source.write_text(source.read_text().replace("return a <= b; }", "return a <= b; }  // changed"))
            (root / "docs").mkdir()
            (root / "docs" / "testing.md").write_text(
                "- `order.cpp`: `bool AtMost(int a, int b) { return a <= b; }  // changed` → "
                "`bool AtMost(int a, int b) { return a < b; }  // changed`: why it cannot matter\n")
            done = run_script(root, "--since", "HEAD", "--list", "order.cpp")
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(done.stdout.splitlines(),
                             ["order.cpp:6: bool AtMost(int a, int b) { return a <= b; }  // changed → "
                              "bool AtMost(int a, int b) { return a < b; }  // changed  [relational, equivalent]"])


if __name__ == "__main__":
    unittest.main()
