"""Models opened with options judge from Python as the tool does: every mode
and formula over both test corpora. Run by CTest with TESSEL_LIBRARY,
TESSEL_BINARY and TESSEL_SOURCE_DIR set."""

import dataclasses
import glob
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import unittest

import tessel

SOURCE = os.environ.get("TESSEL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))
EXAMPLES = os.path.join(SOURCE, "examples", "corpus")
LM_DATA = os.path.join(SOURCE, "tests", "data", "lm")
# protected files, unprotected files, documents, stop words
CORPORA = [(LM_DATA + "/prot/*.txt", LM_DATA + "/plain/*.txt", LM_DATA + "/docs", None),
           (EXAMPLES + "/protected/*.txt", EXAMPLES + "/unprotected/*.txt", EXAMPLES + "/docs",
            EXAMPLES + "/stop.txt")]
# The example corpus trained without its stop words, for handles that take
# none (a model's description refuses other stop words than its own).
PLAIN_EXAMPLES = CORPORA[1][:3] + (None,)
# The tool's option for each keyword of Model() and of the judge calls.
TOOL_OPTIONS = {"shingle_length": "-l", "shingle_shift": "-s", "exclusive_pairs": "--lm-sub",
                "formula": "-o", "length": "--lm-length", "lambda_": "--lm-lambda",
                "lambda0": "--lm-lambda0", "factor": "--lm-factor", "log": "--lm-log",
                "threshold_1": "--lm-threshold-1", "threshold_2": "--lm-threshold-2",
                "max_threshold": "-m", "size_threshold": "--size-threshold"}
# The test corpus's texts are shorter than five words: two-word shingles.
SHINGLE_CASES = [({"shingle_length": 2}, {}), ({"shingle_length": 2, "shingle_shift": 2},
                            {"max_threshold": 2, "size_threshold": 7})]
LM_CASES = [({}, {"formula": formula, "lambda_": 0.001, "lambda0": 0.3, "length": 3})
            for formula in (1, 2, 3)] + [
    ({}, {"formula": 3, "log": True, "lambda_": 0.01, "factor": 0.5, "length": 3}),
    ({}, {"log": True, "lambda_": 0.5, "length": 3, "threshold_1": 5.0, "threshold_2": 1e9}),
    ({"shingle_shift": 2}, {"length": 3, "lambda_": 0.001})]
# Pairs both sides hold, which these files have and the others do not.
SUB = (LM_DATA + "/sub/[bs]*.txt", LM_DATA + "/sub/plain.txt", LM_DATA + "/sub", None)
EXCLUSIVE_CASE = ({"exclusive_pairs": True}, {"log": True, "length": 3})
MISSING = "missing.txt"


def tool_arguments(values):
    arguments = []
    for name, value in values.items():
        arguments += [TOOL_OPTIONS[name]] if value is True else [TOOL_OPTIONS[name], str(value)]
    return arguments


def run_tool(directory, corpus, options):
    """Trains a model in directory and judges a copy of the documents there:
    the tool's standard output and the documents' paths."""
    protected, unprotected, docs, stop_words = corpus
    shutil.copytree(docs, os.path.join(directory, "docs"))
    if stop_words:
        options = options + ["-t", stop_words]
    tool = os.environ["TESSEL_BINARY"]
    for arguments in (["-p", protected, "-u", unprotected, "-v"],
                      ["-f", "-p", "p.bin", "-u", "u.bin", "-d", "docs/*.txt"]):
        out = subprocess.run([tool] + arguments + options, cwd=directory, check=True,
                             capture_output=True).stdout
    return out, sorted(glob.glob(directory + "/docs/*.txt"))


def shingle_line(name, found, settings):
    """found as the tool prints it."""
    threshold, size = settings.get("max_threshold", 10), settings.get("size_threshold", 100)
    line = "%s\t%d\t%d\t%d\t%d%s%d" % (name, found.protected_count, found.unprotected_count,
                                       found.common_count, found.protected_count,
                                       ">=" if found.verdict else "<", threshold)
    return line + ("*%g" % (found.distinct / size) if found.scaled else "")


def lm_records(out):
    """name: (verdict, scores, phrase) of the tool's records; the scores and
    phrase are the first the formula printed, if any."""
    records, lines = {}, out.decode("cp1251").split("\n")
    for i, line in enumerate(lines):
        if line.startswith("docs/"):
            name, rest = line.split("\t", 1)
            if rest.startswith("values: \t"):
                verdict = next(text for text in lines[i + 1:] if text in ("true", "false"))
                records[name] = (verdict == "true", rest.split("\t")[1:3], lines[i + 2].strip())
            else:
                records[name] = (rest == "true", None, None)
    return records


def words(phrase, stop_words, shift):
    """The phrase's words as the tool prints them: upper case, stop words
    dropped, every shift-th word (the pairs are of those)."""
    upper = phrase.encode("cp1251").translate(bytes(c - 32 if c >= 0xE0 else c for c in range(256)))
    found = re.findall(rb"[A-Za-z\xc0-\xff]+", upper)
    return " ".join([w.decode("cp1251") for w in found if w not in stop_words][::shift])


class OptionsTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def judge_corpus(self, corpus, mode, options, settings):
        """The tool's output, the paths and the verdicts of judge_files (with
        a missing file in the middle), checked against judge_file's."""
        directory = tempfile.mkdtemp(dir=self.dir.name)
        arguments = tool_arguments(options) + tool_arguments(settings)
        if mode == "language_model" and "formula" not in settings:
            arguments += ["-o", "1"]
        out, paths = run_tool(directory, corpus, arguments)
        model = tessel.Model(directory, mode=mode, stop_words=corpus[3], **options)
        self.addCleanup(model.close)
        middle = len(paths) // 2
        found = model.judge_files(paths[:middle] + [MISSING] + paths[middle:], threads=2, **settings)
        self.assertEqual(found.pop(middle), tessel.JudgeError(MISSING, "cannot read missing.txt: "
                                                                       "No such file or directory",
                                                              tessel.ERROR_NOT_FOUND))
        self.assertEqual(found, [model.judge_file(path, **settings) for path in paths])
        return model, out, paths, found

    def test_shingle_mode_gives_the_tools_lines(self):
        for corpus in CORPORA:
            for options, settings in SHINGLE_CASES:
                with self.subTest(corpus=corpus[2], options=options, settings=settings):
                    model, out, paths, found = self.judge_corpus(corpus, "shingles", options, settings)
                    lines = [shingle_line("docs/" + os.path.basename(path), verdict, settings)
                             for path, verdict in zip(paths, found)]
                    self.assertEqual(sorted(lines), sorted(out.decode("cp1251").splitlines()))
                    self.assertIn(True, [verdict.verdict for verdict in found])
                    texts = [pathlib.Path(path).read_bytes() for path in paths]
                    self.assertEqual([model.judge(text, **settings) for text in texts], found)

    def test_every_formula_gives_the_tools_verdicts(self):
        flagged = {}
        runs = [(corpus, case) for case in LM_CASES for corpus in CORPORA] + [(SUB, EXCLUSIVE_CASE)]
        for corpus, (options, settings) in runs:
            with self.subTest(corpus=corpus[2], options=options, settings=settings):
                stop_words = set(pathlib.Path(corpus[3]).read_bytes().split()) if corpus[3] else set()
                model, out, paths, found = self.judge_corpus(corpus, "language_model", options,
                                                             settings)
                records = lm_records(out)
                for path, verdict in zip(paths, found):
                    text = pathlib.Path(path).read_bytes().decode("cp1251")
                    phrase = text[verdict.phrase_offset:][:verdict.phrase_length]
                    self.assertEqual(model.judge(text, **settings),
                                     dataclasses.replace(verdict, phrase=phrase))
                    # The tool prints no record for a document without a word pair.
                    hit, *printed = records.get("docs/" + os.path.basename(path), (False,) * 3)
                    self.assertEqual(verdict.verdict, hit, path)
                    if hit:
                        scores = ["%g" % verdict.protected_score, "%g" % verdict.unprotected_score]
                        shift = options.get("shingle_shift", 1)
                        self.assertEqual([scores, words(phrase, stop_words, shift)], printed, path)
                flagged[repr(settings)] = flagged.get(repr(settings), 0) + sum(v.verdict for v in found)
        # Saved models hold no counts: the second formula flags nothing; every other case does.
        self.assertEqual([name for name, count in flagged.items() if not count], [repr(LM_CASES[1][1])])

    def test_first_formula_handles_take_every_setting(self):
        """Model(directory) keeps tessel_judge's results; the settings only
        tessel_judge_text has go to it, with a Result as well."""
        directory = tempfile.mkdtemp(dir=self.dir.name)
        _, paths = run_tool(directory, PLAIN_EXAMPLES, ["-o", "1"])
        texts = [pathlib.Path(path).read_bytes() for path in paths]
        with tessel.Model(directory) as model, \
                tessel.Model(directory, exclusive_pairs=False) as typed:  # a language model
            for text in texts:
                first = model.judge(text, length=3)
                self.assertEqual(model.judge(text, length=3, lambda0=0.0), first)
                third, typed_third = (model.judge(text, length=3, formula=3),
                                      typed.judge(text, length=3, formula=3))
                self.assertEqual(third, tessel.Result(
                    typed_third.verdict, typed_third.protected_score, typed_third.unprotected_score,
                    typed_third.phrase, typed_third.phrase_offset, typed_third.phrase_length))
            self.assertEqual([found.verdict for found in model.judge_files(paths, length=3)],
                             [model.judge(text, length=3).verdict for text in texts])

    def test_str_texts_are_windows_1251(self):
        directory = tempfile.mkdtemp(dir=self.dir.name)
        run_tool(directory, PLAIN_EXAMPLES, ["-o", "1"])
        text = pathlib.Path(EXAMPLES + "/docs/ru_leak.txt").read_bytes().decode("cp1251")
        with tessel.Model(directory, mode="language_model") as model:
            found = model.judge(text, length=3)
            self.assertTrue(found.verdict)
            self.assertEqual(found.phrase, text[found.phrase_offset:][:found.phrase_length])
            # Characters outside Windows-1251 separate words, one byte each:
            # the offsets of a str are its indexes.
            odd = text.replace(" ", "\u6f22").replace(".", "\U0001f600")
            self.assertEqual(model.judge(odd, length=3), dataclasses.replace(
                found, phrase=found.phrase.replace(" ", "\u6f22")))

    def test_str_read_as_utf8_judges_as_its_windows_1251_bytes(self):
        directory = tempfile.mkdtemp(dir=self.dir.name)
        run_tool(directory, PLAIN_EXAMPLES, ["-o", "1"])
        raw = pathlib.Path(EXAMPLES + "/docs/ru_leak.txt").read_bytes()
        text = raw.decode("cp1251")
        with tessel.Model(directory, mode="language_model", encoding="auto") as model:
            as_str, as_bytes = model.judge(text, length=3), model.judge(raw, length=3)
            self.assertTrue(as_bytes.verdict)
            self.assertEqual((as_str.verdict, as_str.protected_score),
                             (as_bytes.verdict, as_bytes.protected_score))
            self.assertEqual(as_str.phrase, text[as_str.phrase_offset:][:as_str.phrase_length])
            self.assertEqual(as_str.phrase, as_bytes.phrase.decode("cp1251"))

    def test_texts_are_read_as_the_model_was_trained(self):
        directory = tempfile.mkdtemp(dir=self.dir.name)
        run_tool(directory, PLAIN_EXAMPLES, ["-o", "1"])
        raw = pathlib.Path(EXAMPLES + "/docs/ru_leak.txt").read_bytes()
        text = raw.decode("cp1251")
        utf8 = text.encode("utf-8")
        # The tool recorded --encoding=auto: a UTF-8 copy judges as the
        # original, with and without options; cp1251 given reads it apart.
        for options in ({}, {"mode": "language_model"}):
            with self.subTest(options=options), tessel.Model(directory, **options) as model:
                original = model.judge(raw, length=3)
                self.assertTrue(original.verdict)
                copy, as_str = model.judge(utf8, length=3), model.judge(text, length=3)
                self.assertEqual((copy.verdict, copy.protected_score),
                                 (original.verdict, original.protected_score))
                self.assertEqual(copy.phrase.decode("utf-8"), original.phrase.decode("cp1251"))
                self.assertEqual(as_str.phrase, original.phrase.decode("cp1251"))
                self.assertEqual(as_str.phrase, text[as_str.phrase_offset:][:as_str.phrase_length])
        with tessel.Model(directory, mode="language_model", encoding="cp1251") as model:
            self.assertFalse(model.judge(utf8, length=3).verdict)
            self.assertTrue(model.judge(text, length=3).verdict)

    def test_refusals(self):
        broken, directory = (tempfile.mkdtemp(dir=self.dir.name) for _ in range(2))
        run_tool(broken, PLAIN_EXAMPLES, [])
        os.remove(broken + "/u.bin")
        run_tool(directory, PLAIN_EXAMPLES, [])
        for options, error, pattern in [
                ({"mode": "shingle"}, ValueError, "mode must be one of"),
                ({"stop_word": "stop.txt"}, TypeError, "unknown options: stop_word"),
                ({"shingle_shift": 0}, tessel.TesselError, "shingle shift must be 1 to"),
                ({"stop_words": broken + "/none"}, tessel.TesselError, "stop-word file .*/none"),
                ({"mode": "shingles"}, tessel.TesselError, "u.bin: No such file")]:
            with self.subTest(options=options), self.assertRaisesRegex(error, pattern):
                tessel.Model(broken, **options)
        leak = EXAMPLES + "/docs/ru_leak.txt"
        with tessel.Model(directory, mode="shingles") as model:
            # tessel_judge_many gives no reason; the package finds it.
            with self.assertRaisesRegex(tessel.TesselError, "formula must be 1, 2 or 3"):
                model.judge_files([leak], formula=0)
            with self.assertRaisesRegex(ValueError, "length must lie in"):
                model.judge_files([leak], length=2**63)
            with self.assertRaisesRegex(ValueError, "threads must lie in"):
                model.judge_files([], threads=-1)
            with self.assertRaisesRegex(tessel.TesselError, "cannot read .*missing.txt"):
                model.judge_file(MISSING)
            self.assertEqual(model.judge_files(["a\0b"]),
                             [tessel.JudgeError("a\0b", "embedded null byte in the path")])
        with self.assertRaisesRegex(tessel.TesselError, "closed"):
            model.judge_files([leak])


if __name__ == "__main__":
    unittest.main()


class DocumentPipeline(unittest.TestCase):
    """Score, sources, the robust mode, converters and the binary skip,
    against the tool's JSON records."""

    def train(self, directory, options):
        shutil.copytree(EXAMPLES, os.path.join(directory, "corpus"))
        tool = os.environ["TESSEL_BINARY"]
        runs = (["-p", "corpus/protected/*.txt", "-u", "corpus/unprotected/*.txt", "-v"],
                ["-f", "-p", "p.bin", "-u", "u.bin", "--format=json", "-d", "corpus/docs/*.txt"])
        for arguments in runs:
            out = subprocess.run([tool] + arguments + options, cwd=directory, check=True,
                                 capture_output=True, text=True).stdout
        import json
        records = [json.loads(line) for line in out.splitlines()]
        return {os.path.join(directory, r["path"]): r for r in records if r["type"] == "document"}

    def test_score_and_source_in_each_mode(self):
        for mode, options in (("shingles", ["--sources=1"]), ("robust", ["--robust"])):
            with tempfile.TemporaryDirectory() as directory, self.subTest(mode=mode):
                expected = self.train(directory, options)
                with tessel.Model(directory, mode=mode, sources=True) as model:
                    found = model.judge_files(sorted(expected))
                for (path, record), result in zip(sorted(expected.items()), found):
                    self.assertEqual(result.verdict, record["verdict"], path)
                    self.assertEqual(result.score, record["score"], path)
                    source = (record.get("source") if mode == "robust" else
                              record["verdict"] and record["sources"][0]["path"])
                    self.assertEqual(result.source, source or None, path)

    def test_converters_and_the_binary_skip(self):
        with tempfile.TemporaryDirectory() as directory:
            self.train(directory, [])
            text = pathlib.Path(EXAMPLES, "docs", "ru_leak.txt").read_bytes()
            document = pathlib.Path(directory, "leak.docx")
            document.write_bytes(b"\0".join(bytes([c]) for c in text))
            converter = pathlib.Path(directory, "strip")
            converter.write_text("#!/bin/sh\ntr -d '\\000' <\"$1\"\n")
            converter.chmod(0o755)
            with tessel.Model(directory, mode="shingles") as model:
                skipped = model.judge_file(document)
                self.assertIsInstance(skipped, tessel.Skipped)
                self.assertIn("binary file", skipped.reason)
                [batch] = model.judge_files([document])
                self.assertIsInstance(batch, tessel.Skipped)
                converters = {".docx": str(converter), "application/msword": str(converter)}
                self.assertTrue(model.judge_file(document, converters=converters).verdict)
                data = document.read_bytes()
                self.assertTrue(model.judge(data, name="application/msword",
                                            converters=converters).verdict)
                self.assertIsInstance(model.judge(data, name=""), tessel.Skipped)
                self.assertFalse(model.judge(data, name="", judge_binary=True).verdict)
                # converters=True: the checkout's wrappers; a .txt goes to none.
                self.assertTrue(model.judge_file(os.path.join(EXAMPLES, "docs", "ru_leak.txt"),
                                                 converters=True).verdict)
                self.assertEqual(tessel._model.wrappers_dir(),
                                 os.path.realpath(os.path.join(SOURCE, "examples", "pre")))
                with self.assertRaises(tessel.TesselError) as failed:
                    model.judge_file(document, converters={".docx": "/bin/false"})
                self.assertEqual(failed.exception.code, tessel.ERROR_PREPROCESSOR)
