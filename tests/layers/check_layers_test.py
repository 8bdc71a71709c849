#!/usr/bin/env python3
"""The layer check on small made-up trees: it passes the real order and fails each kind
of include against it (upward, sideways, into test code, from a folder of no layer)."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check_layers.py")


class CheckLayersTest(unittest.TestCase):
    def run_on(self, files):
        with tempfile.TemporaryDirectory() as src:
            for path, text in files.items():
                full = os.path.join(src, path)
                os.makedirs(os.path.dirname(full), exist_ok=True)
                with open(full, "w", encoding="utf-8") as f:
                    f.write(text)
            done = subprocess.run([sys.executable, SCRIPT, src], capture_output=True, text=True)
            return done.returncode, done.stderr

    def test_includes_downward_pass(self):
        rc, err = self.run_on({
            "db/jet/file/pager.h": '#include "db/jet/base/bytes.h"\n#include "db/io/env.h"\n#include <vector>\n',
            "db/jet/table.cpp": '#include "db/jet/storage/row_codec.h"\n#include "db/jet/base/text.h"\n',
            "app/cli/main.cpp": '#include "engine/conversion_run.h"\n#include "db/jet/database.h"\n',
            "ui/main/form.cpp": '#include "form.moc"\n#include "shell/messages.h"\n',
        })
        self.assertEqual(rc, 0, err)

    def test_upward_include_fails_naming_the_file_and_line(self):
        rc, err = self.run_on({"db/jet/file/pager.h": '// page cache\n#include "db/jet/database.h"\n'})
        self.assertEqual(rc, 1)
        self.assertIn('db/jet/file/pager.h:2: db/jet/file includes "db/jet/database.h" of db/jet', err)

    def test_sibling_include_fails(self):
        rc, err = self.run_on({
            "db/paradox/table_reader.cpp": '#include "db/jet/base/text.h"\n',
            "db/jet/collation/sort_order.cpp": '#include "db/jet/file/pager.h"\n',
        })
        self.assertEqual(rc, 1)
        self.assertIn("db/paradox includes", err)
        self.assertIn("db/jet/collation includes", err)

    def test_test_code_and_unknown_folders_fail(self):
        rc, err = self.run_on({
            "db/ado/builtin_drivers.cpp": '#include "support/memory_driver.h"\n',
            "tools/helper.cpp": "int x;\n",
        })
        self.assertEqual(rc, 1)
        self.assertIn('includes "support/memory_driver.h", which is no header of the program', err)
        self.assertIn("tools/helper.cpp: the file is in no layer", err)

    def test_the_project_itself_passes(self):
        done = subprocess.run([sys.executable, SCRIPT], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)


if __name__ == "__main__":
    unittest.main()
