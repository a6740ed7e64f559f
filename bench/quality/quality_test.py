"""Checks of the benchmark's edits, thresholds and baselines on small made-up texts."""

import os
import random
import re
import string
import tempfile
import unittest

import evaluate
import generate
import peers


def words(prefix, n, letters=string.ascii_lowercase):
    out = []
    for i in range(n):
        w, j = "", i
        for _ in range(3):
            w, j = letters[j % len(letters)] + w, j // len(letters)
        out.append(prefix + w)
    return out


def doc(family, ws, per_line=10, end="."):
    lines = [" ".join(ws[i:i + per_line]) + end for i in range(0, len(ws), per_line)]
    return generate.Doc(family, "/src/" + family, "\n".join(lines) + "\n")


SRC = doc("man", words("src", 400))
HOST = doc("readme", words("host", 600), end="")
CYR = "абвгдежзиклмнопрстуфхцчшщыэюя"
SRC_RU = doc("ru-man", words("ж", 400, CYR))
HOST_RU = doc("ru-po", words("щ", 600, CYR), end="")
VOCAB = generate.vocabulary([HOST])


def positive(edit, src=SRC, host=HOST, seed=1):
    data, _ = generate.make_positive(random.Random(seed), edit, src, host, VOCAB)
    return data


def letter_words(text, prefix):
    return [w for w in re.findall(r"[^\W\d_]+", text) if w.startswith(prefix)]


class Edits(unittest.TestCase):
    def test_verbatim_passages_are_exact_runs_of_the_source(self):
        for n in (25, 50, 100, 300):
            got = letter_words(positive(f"verbatim-{n}").decode(), "src")
            self.assertEqual(len(got), n)
            self.assertIn(" ".join(got), " ".join(letter_words(SRC.text, "src")))
            self.assertEqual(len(letter_words(positive(f"verbatim-{n}").decode(), "host")), 600)

    def test_passages_hold_text_of_the_protected_set_alone(self):
        ws = letter_words(SRC.text, "src")
        common = set(generate.grams(" ".join(ws[:340])))
        for seed in range(5):
            a, b = generate.word_span(random.Random(seed), SRC.text, 50, common)
            g = generate.grams(SRC.text[a:b])
            self.assertLessEqual(sum(x in common for x in g), len(g) / 2)
        # A file the unprotected set holds whole gives no positive at all.
        everything = set(generate.grams(SRC.text))
        self.assertIsNone(generate.word_span(random.Random(0), SRC.text, 50, everything))
        for edit in ("verbatim-50", "near-duplicate"):
            self.assertIsNone(generate.make_positive(random.Random(0), edit, SRC, HOST, VOCAB,
                                                     everything))

    def test_a_shared_run_counts_numbers_and_leaves_out_unprotected_text(self):
        table = " ".join(f"port{i} {i} tcp" for i in range(10))  # 30 words, two thirds numbers
        holders = {}
        for g in generate.run_grams(table):
            holders.setdefault(g, set()).add(0)
        negative = "some words before " + table + " and after"
        self.assertEqual(generate.longest_shared_run(generate.run_grams(negative), holders, set()), 30)
        common = set(generate.run_grams(table)[10:])  # the unprotected set holds the end
        self.assertEqual(generate.longest_shared_run(generate.run_grams(negative), holders, common), 14)

    def test_word_edits_change_what_they_say(self):
        caps = positive("caps").decode()
        self.assertEqual(len(letter_words(caps, "SRC")), 100)
        for k in (5, 10, 20):
            got = positive(f"replace-{k}th").decode()
            self.assertEqual(len(letter_words(got, "src")), 100 - 100 // k)
        dropped = letter_words(positive("drop-10pct").decode(), "src")
        self.assertEqual(len(dropped), 90)
        self.assertEqual(dropped, sorted(dropped))            # order kept
        moved = letter_words(positive("reordered").decode(), "src")
        self.assertEqual(len(moved), 100)
        self.assertNotEqual(moved, sorted(moved))
        punct = positive("punctuation").decode()
        self.assertEqual(len(letter_words(punct, "src")), 100)
        self.assertNotIn(generate.wrap(letter_words(punct, "src")), punct)

    def test_split_halves_lie_apart(self):
        text = positive("split").decode()
        lines = text.split("\n")
        at = [i for i, l in enumerate(lines) if "src" in l]
        gaps = [b - a for a, b in zip(at, at[1:])]
        self.assertGreater(max(gaps), 20)
        self.assertEqual(len(letter_words(text, "src")), 100)

    def test_encodings(self):
        whole = positive("utf8-document", SRC_RU, HOST_RU).decode("utf-8")
        self.assertEqual(len(letter_words(whole, "ж")), 100)
        self.assertEqual(len(letter_words(whole, "щ")), 600)
        mixed = positive("utf8-in-cp1251", SRC_RU, HOST_RU)
        with self.assertRaises(UnicodeDecodeError):
            mixed.decode("utf-8")
        self.assertEqual(len(letter_words(peers.decode(mixed), "ж")), 100)
        self.assertEqual(len(letter_words(mixed.decode("cp1251"), "щ")), 600)
        ru = positive("caps", SRC_RU, HOST_RU)
        self.assertEqual(len(letter_words(ru.decode("cp1251"), "Ж")), 100)

    def test_near_duplicate_keeps_the_document_under_a_new_header(self):
        text = positive("near-duplicate").decode()
        self.assertTrue(text.startswith("From: "))
        self.assertIn("\n".join(SRC.text.split("\n")[3:]), text)

    def test_same_seed_same_bytes(self):
        for edit in generate.EDITS:
            src, host = (SRC_RU, HOST_RU) if edit.startswith("utf8") else (SRC, HOST)
            self.assertEqual(positive(edit, src, host, 7), positive(edit, src, host, 7))


class Scoring(unittest.TestCase):
    def test_threshold_lets_through_at_most_the_rate(self):
        neg = [0.0] * 997 + [5.0, 3.0, 3.0]
        t = evaluate.threshold_at(neg, 0.001)                 # one negative may pass
        self.assertEqual(t, 3.0)
        self.assertEqual(sum(s > t for s in neg), 1)
        self.assertEqual(evaluate.threshold_at(neg, 0.01), 0.0)
        self.assertEqual(sum(s > evaluate.threshold_at(neg, 0.01) for s in neg), 3)

    def test_metrics_per_edit_and_default_verdict(self):
        b = type("B", (), {})()
        b.store = ["n1", "n2", "n3", "p1", "p2", "p3"]
        b.labels = {"n1": ("neg", "-", "man", "-"), "n2": ("neg", "-", "readme", "-"),
                    "n3": ("neg", "-", "man", "-"), "p1": ("pos", "caps", "man", "x"),
                    "p2": ("pos", "caps", "man", "x"), "p3": ("pos", "split", "man", "x")}
        b.same_family = {"man"}
        scores = {"n1": 2.0, "n2": 0.0, "n3": 0.0, "p1": 2.0, "p2": 3.0, "p3": 0.5}
        verdicts = {p: s >= 1 for p, s in scores.items()}
        m = evaluate.metrics(b, scores, verdicts)
        self.assertEqual(m[0.001], {"all": 1 / 3, "caps": 0.5, "split": 0.0})
        self.assertEqual(m["default"], {"recall": 2 / 3, "fp": 1 / 3, "fp_same": 0.5})

    def test_score_is_what_the_verdict_thresholds(self):
        rec = {"mode": "shingle", "verdict": True, "protected": 5, "threshold": 2.5}
        self.assertEqual(evaluate.tessel_score(rec), 2.0)
        self.assertEqual(evaluate.tessel_score(dict(rec, protected=2, verdict=False)), 0.8)
        self.assertEqual(evaluate.tessel_score(dict(rec, score=0.25)), 0.25)
        self.assertEqual(evaluate.tessel_score(dict(rec, protected=0, threshold=0.0)), float("inf"))
        self.assertEqual(evaluate.tessel_score({"mode": "shingle", "error": "Is a directory"}),
                         float("-inf"))


class Baselines(unittest.TestCase):
    def test_chain_counts_protected_only_shingles_of_one_file_in_order(self):
        with tempfile.TemporaryDirectory() as d:
            b = type("B", (), {"utf8": d, "protected": ["p1", "p2"], "unprotected": ["u"]})()
            common = " ".join(words("src", 400)[:20])
            texts = {"p1": SRC.text, "p2": HOST.text, "u": common + " x\n",
                     "near": " ".join(words("src", 400)[100:150]) + " h\n",
                     "gappy": " ".join(w if i % 10 else "zz" for i, w in enumerate(words("src", 400))) + "\n",
                     "mixed": " ".join(words("src", 400)[:12] + words("host", 600)[:12]) + " h\n",
                     "plain": " ".join(words("other", 60)) + "\n"}
            for rel, t in texts.items():
                with open(os.path.join(d, rel), "w") as f:
                    f.write(t)
            b.store = ["near", "gappy", "mixed", "plain"]
            got = peers.chain(b, gap=6)
            self.assertEqual(got["near"], 46.0)      # 50 words: 46 shingles
            # five shingles in ten span no "zz" (200), less the ten that the unprotected text holds
            self.assertEqual(got["gappy"], 190.0)
            self.assertEqual(peers.chain(b, gap=5)["gappy"], 5.0)   # a gap of 6 breaks the chain
            self.assertEqual(got["mixed"], 8.0)      # the first words are common
            self.assertEqual(got["plain"], 0.0)

    def test_winnowing_finds_a_shared_passage(self):
        inner = SRC.text[1000:1300]
        outer = HOST.text[:2000] + inner + HOST.text[2000:4000]
        self.assertTrue(peers.fingerprints(inner) & peers.fingerprints(outer))
        self.assertFalse(peers.fingerprints(SRC.text) & peers.fingerprints(HOST.text))
        # about 2/(w+1) of the k-grams are kept: one a window, not every one
        kgrams = len(re.sub(r"[\W_]+", "", SRC.text)) - 29
        self.assertLess(len(peers.fingerprints(SRC.text)), kgrams / 5)


if __name__ == "__main__":
    unittest.main()
