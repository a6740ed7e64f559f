"""tessel.dask on a LocalCluster of two worker processes over loopback gives
the tool's verdicts. Run by CTest as a script (exit 77: dask is missing)
with TESSEL_LIBRARY, TESSEL_BINARY and TESSEL_SOURCE_DIR set."""

import os
import sys
import tempfile
import unittest

import tessel
from test_options import CORPORA, EXAMPLES, lm_records, run_tool, shingle_line

try:
    import dask.bag
    import distributed
    import pandas
    import tessel.dask
except ImportError:
    distributed = None


@unittest.skipIf(distributed is None, "dask or distributed is not installed")
class DaskTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.cluster = distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                               host="127.0.0.1", dashboard_address=None)
        cls.client = distributed.Client(cls.cluster)

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.cluster.close()
        cls.dir.cleanup()

    def tool(self, corpus, arguments):
        directory = tempfile.mkdtemp(dir=self.dir.name)
        out, paths = run_tool(directory, corpus, arguments)
        return directory, out, paths

    def test_a_path_list_gives_the_tools_lines(self):
        directory, out, paths = self.tool(CORPORA[1], ["-l", "3", "-m", "2"])
        # A missing file in the middle, and batches of two: every worker judges.
        paths.insert(2, directory + "/missing.txt")
        frame = tessel.dask.scan(self.client, paths, directory, batch_size=2, mode="shingles",
                                 shingle_length=3, stop_words=CORPORA[1][3], max_threshold=2)
        self.assertEqual(frame.npartitions, 3)
        rows = frame.compute()
        self.assertEqual(list(rows.index), list(range(len(paths))))
        self.assertEqual(list(rows.path), paths)
        failed = rows.loc[2]
        self.assertTrue(pandas.isna(failed.verdict))
        self.assertRegex(failed.error, "^cannot read .*/missing.txt: No such file")
        judged = rows.drop(index=2)
        self.assertEqual(list(judged.error), [None] * len(judged))
        lines = [shingle_line("docs/" + os.path.basename(row.path), row, {"max_threshold": 2})
                 for row in judged.itertuples()]
        self.assertEqual(sorted(lines), sorted(out.decode("cp1251").splitlines()))
        self.assertIn(True, list(judged.verdict))
        # Each worker opened the model once, in the plugin; the tasks found it there.
        opened = self.client.run(lambda dask_worker: [
            name for name, plugin in dask_worker.plugins.items()
            if isinstance(getattr(plugin, "model", None), tessel.Model)])
        self.assertEqual(len(opened), 2)
        self.assertEqual(len(set(map(tuple, opened.values()))), 1)

    def test_a_bag_gives_the_tools_verdicts(self):
        settings = {"formula": 3, "length": 3, "lambda_": 0.001}
        directory, out, paths = self.tool(CORPORA[0], ["-o", "3", "--lm-length", "3", "--lm-lambda", "0.001"])
        bag = dask.bag.from_sequence(paths, npartitions=3)
        rows = tessel.dask.scan(self.client, bag, directory, mode="language_model", **settings).compute()
        records = lm_records(out)
        self.assertEqual(sorted(rows.path), paths)
        for row in rows.itertuples():
            hit, scores, _ = records.get("docs/" + os.path.basename(row.path), (False,) * 3)
            self.assertEqual(row.verdict, hit, row.path)
            if hit:
                self.assertEqual(["%g" % row.protected_score, "%g" % row.unprotected_score], scores)
        self.assertIn(True, list(rows.verdict))

    def test_a_broken_model_fails_the_scan(self):
        with self.assertRaisesRegex(tessel.TesselError, "p.bin: No such file"):
            tessel.dask.scan(self.client, [EXAMPLES + "/docs/ru_leak.txt"], self.dir.name,
                             mode="shingles")
        with self.assertRaisesRegex(TypeError, "unknown options or settings: lenght"):
            tessel.dask.scan(self.client, [], self.dir.name, lenght=3)


if __name__ == "__main__":
    if distributed is None:
        print("skip: dask or distributed is not installed (scripts/setup.sh installs them)")
        sys.exit(77)
    unittest.main()
