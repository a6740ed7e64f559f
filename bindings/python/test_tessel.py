"""Tests of the Python package, run by CTest with TESSEL_LIBRARY, TESSEL_BINARY
(the tool, to train a model), TESSEL_HOST (the C host, whose verdicts come
from _processShingles), TESSEL_SOURCE_DIR and TESSEL_VERSION set."""

import concurrent.futures
import glob
import importlib.util
import os
import pathlib
import subprocess
import tempfile
import threading
import time
import unittest

import tessel
from tessel import _locate

SOURCE = os.environ.get("TESSEL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))
CORPUS = os.path.join(SOURCE, "examples", "corpus")


class ModelTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        subprocess.run([os.environ["TESSEL_BINARY"], "-p", CORPUS + "/protected/*.txt",
                        "-u", CORPUS + "/unprotected/*.txt", "-o", "1", "-v"],
                       cwd=cls.dir.name, check=True, capture_output=True)
        cls.files = sorted(glob.glob(CORPUS + "/*/*.txt"))
        cls.texts = [pathlib.Path(name).read_bytes() for name in cls.files]

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_verdicts_agree_with_the_c_interface(self):
        host = subprocess.run([os.environ["TESSEL_HOST"], self.dir.name] + self.files,
                              check=True, capture_output=True).stdout
        # Lines of the formula's own output come between the verdict lines.
        verdicts = dict(line.rsplit(b"\t", 1) for line in host.splitlines()
                        if line.split(b"\t")[0] in map(os.fsencode, self.files))
        expected = [verdicts[os.fsencode(name)] == b"1" for name in self.files]
        with tessel.Model(self.dir.name) as model:
            got = [model.judge(text) for text in self.texts]
            # Threads sharing the model see what one thread sees.
            with concurrent.futures.ThreadPoolExecutor(4) as pool:
                self.assertEqual(list(pool.map(model.judge, self.texts * 4)), got * 4)
        self.assertEqual([r.verdict for r in got], expected)
        self.assertIn(True, expected)
        self.assertIn(False, expected)
        for text, result in zip(self.texts, got):
            if result.verdict:
                self.assertGreater(result.protected_score, 0)
                self.assertEqual(result.phrase, text[result.phrase_offset:][:result.phrase_length])
                self.assertTrue(result.phrase and result.phrase.strip(b" \n.,") == result.phrase)
            else:
                self.assertEqual(result, (False, 0.0, 0.0, b"", 0, 0))

    def test_settings_change_the_verdict(self):
        with tessel.Model(self.dir.name) as model:
            text = self.texts[self.files.index(CORPUS + "/protected/merger_plan.txt")]
            self.assertTrue(model.judge(text).verdict)
            self.assertFalse(model.judge(text, length=0).verdict)
            self.assertFalse(model.judge(text, threshold_2=0.0, threshold_1=1e300).verdict)
            logged = model.judge(text, log=True, lambda_=0.5, length=3)
            self.assertEqual(len(logged.phrase.split()), 2)
            self.assertGreater(logged.unprotected_score, 0)
            self.assertFalse(model.judge(text, log=True, lambda_=0.5, factor=1.0).verdict)
            with self.assertRaises(TypeError):
                model.judge(text, lenght=3)
            with self.assertRaises(TypeError):
                model.judge([text])

    def test_broken_and_closed_models(self):
        with tempfile.TemporaryDirectory() as empty:
            with self.assertRaisesRegex(tessel.TesselError, "p.bin: No such file") as refused:
                tessel.Model(empty)
            self.assertEqual(refused.exception.code, tessel.ERROR_NOT_FOUND)
        model = tessel.Model(self.dir.name)
        model.close()
        model.close()
        with self.assertRaises(tessel.TesselError) as refused:
            model.judge(b"text\n")
        self.assertEqual(refused.exception.code, 0)

    def test_close_waits_for_the_running_judges(self):
        # No hit, so that every call reads the whole text (some 10 ms).
        text = b"".join(self.texts[i] for i, name in enumerate(self.files)
                        if "/unprotected/" in name) * 500
        with tessel.Model(self.dir.name) as model:
            expected = model.judge(text)
        for _ in range(5):
            model, results = tessel.Model(self.dir.name), []

            def judge_until_closed():
                while True:
                    try:
                        results.append(model.judge(text))
                    except tessel.TesselError:
                        return

            threads = [threading.Thread(target=judge_until_closed) for _ in range(4)]
            for thread in threads:
                thread.start()
            while not results:  # the threads are judging one text after another
                time.sleep(0.001)
            model.close()
            for thread in threads:
                thread.join()
            self.assertEqual(set(results), {expected})

    def test_out_of_range_arguments_are_refused(self):
        text = self.texts[self.files.index(CORPUS + "/protected/merger_plan.txt")]
        with tessel.Model(self.dir.name) as model:
            # ctypes would have kept the low 32 bits: 2**32 + 10 judging as 10.
            for length in (2**31, 2**32 + 10, -2**31 - 1):
                with self.assertRaisesRegex(ValueError, "length must lie in"):
                    model.judge(text, length=length)
            with self.assertRaises(TypeError):
                model.judge(text, length=10.0)
            # A negative window is longer than any: one score over the whole text.
            self.assertEqual(model.judge(text, length=-1)[:3], model.judge(text, length=2**31 - 1)[:3])
        with tempfile.TemporaryDirectory() as links:
            os.symlink(self.dir.name, os.path.join(links, "m1"))
            tessel.Model(os.path.join(links, "m1")).close()
            for path in (os.path.join(links, "m1\0zzz"), os.fsencode(links) + b"/m1\0zzz"):
                with self.assertRaisesRegex(ValueError, "null byte"):
                    tessel.Model(path)

    def test_library_search_order(self):
        with tempfile.TemporaryDirectory() as root:
            package = os.path.join(root, "bindings", "python", "tessel")
            os.makedirs(package)
            built, installed = root + "/build/libtessel.so.0", root + "/lib/libtessel.so.0"
            for name in (root + "/embed/tessel.h", built, installed):
                os.makedirs(os.path.dirname(name), exist_ok=True)
                open(name, "w").close()

            def search(environ, installed_dir="../../../lib", found=None, **named):
                return _locate.library_path(environ=environ, package_dir=package, installed_dir=installed_dir,
                                            find_library=lambda name: found, **named)

            variable = {"TESSEL_LIBRARY": "/env/libtessel.so"}
            self.assertEqual(search(variable, explicit="/given.so"), "/given.so")
            self.assertEqual(search(variable), "/env/libtessel.so")
            self.assertEqual(search({}), built)
            os.remove(built)
            self.assertEqual(search({}), installed)
            self.assertEqual(search({}, installed_dir="../nowhere", found="libtessel.so.0.1"),
                             "libtessel.so.0.1")
            self.assertEqual(search({}, installed_dir="../nowhere"), "libtessel.so.0")
        self.assertEqual(tessel.library_path(), os.environ["TESSEL_LIBRARY"])
        self.assertEqual(tessel.__version__, os.environ["TESSEL_VERSION"])

    def test_install_directory_is_on_the_search_path(self):
        found = importlib.util.spec_from_file_location("site_dir", SOURCE + "/cmake/python_site_dir.py")
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        debian = ["/usr/lib/python3.11", "/usr/local/lib/python3.11/dist-packages",
                  "/usr/lib/python3/dist-packages"]
        self.assertEqual(module.site_dir("/usr", debian), "lib/python3/dist-packages")
        self.assertEqual(module.site_dir("/usr/local/", debian), "lib/python3.11/dist-packages")
        self.assertRegex(module.site_dir("/opt/tessel", debian), "^lib")


if __name__ == "__main__":
    unittest.main()
