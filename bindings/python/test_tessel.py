"""Tests of the Python binding, run by CTest with TESSEL_LIBRARY, TESSEL_BINARY
(the tool, to train a model), TESSEL_HOST (the C host, whose verdicts come
from _processShingles) and TESSEL_SOURCE_DIR set."""

import concurrent.futures
import glob
import os
import pathlib
import subprocess
import tempfile
import unittest

import tessel

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
                model.judge(text.decode("latin-1"))

    def test_broken_and_closed_models(self):
        with tempfile.TemporaryDirectory() as empty:
            with self.assertRaisesRegex(tessel.TesselError, "p.bin: No such file"):
                tessel.Model(empty)
        model = tessel.Model(self.dir.name)
        model.close()
        model.close()
        with self.assertRaises(tessel.TesselError):
            model.judge(b"text\n")


if __name__ == "__main__":
    unittest.main()
