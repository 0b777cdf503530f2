#!/usr/bin/env python3
"""The include check on small trees of its own: what it lets through and what it stops."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-includes")

GRAPH = """\
[parts]
app        app/**
store      store/**
base       base/*
impl       base/impl/**
tests      tests/**
[may include]
app        store base
store      base
base
impl       base
tests      *
[bound at link time]
base       impl
[exceptions to remove]
store/Old.cpp   app/Window.h   the old handler still sits here
"""

TREE = {
    "app/Window.h": '#include "store/Store.h"\n',
    "store/Store.h": '#include "base/Text.h"\n#include <vector>\n',
    "store/Old.cpp": '#include "app/Window.h"\n',
    "base/Text.h": "",
    "base/impl/Real.h": '#  include "../Text.h"\n',
    "tests/Anything.cpp": '#include "base/impl/Real.h"\n#include "support/Nowhere.h"\n',
}


# The base library binds its implementation at link time; generated sources
# in the build folder belong to no part and are left alone.
LIBRARIES = """\
library lib_app app
sources ROOT/app/Window.h
links lib_store lib_base
library lib_store store
sources ROOT/store/Old.cpp ROOT/build/Generated.cpp
links lib_base ZLIB::ZLIB
library lib_base base
sources ROOT/base/Text.h
links lib_impl
library lib_impl impl
sources ROOT/base/impl/Real.h
links lib_base
"""


class IncludeCheckTest(unittest.TestCase):
    def run_check(self, changes, graph=GRAPH, libraries=None):
        with tempfile.TemporaryDirectory() as root:
            arguments = []
            if libraries is not None:
                with open(os.path.join(root, "libraries.txt"), "w", encoding="utf-8") as file:
                    file.write(libraries.replace("ROOT", root))
                arguments = ["--libraries", os.path.join(root, "libraries.txt")]
            for path, text in {**TREE, **changes}.items():
                if text is None:
                    continue
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as file:
                    file.write(text)
            with open(os.path.join(root, "graph.txt"), "w", encoding="utf-8") as file:
                file.write(graph)
            result = subprocess.run([sys.executable, CHECK, "--root", root, "--graph", os.path.join(root, "graph.txt")]
                                    + arguments, capture_output=True, text=True)
        return result.returncode, result.stderr

    def assertFails(self, changes, *expected, graph=GRAPH, libraries=None):
        code, output = self.run_check(changes, graph, libraries)
        self.assertEqual(code, 1, output)
        for text in expected:
            self.assertIn(text, output)

    def test_a_tree_that_follows_the_graph_passes(self):
        code, output = self.run_check({})
        self.assertEqual(code, 0, output)

    def test_an_include_against_the_graph_fails_however_it_is_written(self):
        self.assertFails({"store/New.cpp": '#include "app/Window.h"\n'}, "store/New.cpp:1: store may not include app/Window.h")
        self.assertFails({"store/New.cpp": '\n#include "../app/Window.h"\n'}, "store/New.cpp:2: store may not include")
        self.assertFails({"store/New.cpp": "#include <app/Window.h>\n"}, "store/New.cpp:1: store may not include")
        self.assertFails({"app/Main.cpp": '#include "base/impl/Real.h"\n'}, "app may not include base/impl/Real.h")

    def test_files_outside_the_graph_fail(self):
        self.assertFails({"loose/Extra.cpp": ""}, "loose/Extra.cpp: belongs to no part")
        self.assertFails({"store/New.cpp": '#include "store/Missing.h"\n'}, '"store/Missing.h" is no file of the tree')
        self.assertFails({"store/New.cpp": '#include "tests/Anything.cpp"\n'}, "store may not include tests/Anything.cpp")

    def test_an_exception_no_longer_needed_fails(self):
        self.assertFails({"store/Old.cpp": '#include "base/Text.h"\n'}, "store/Old.cpp including app/Window.h is no longer")
        self.assertFails({"store/Old.cpp": None}, "is no longer needed")
        allowed = GRAPH.replace("store      base", "store      base app")
        self.assertFails({}, "is no longer needed", graph=allowed)

    def test_libraries_hold_to_the_parts_and_their_links(self):
        libraries = LIBRARIES
        code, output = self.run_check({}, libraries=libraries)
        self.assertEqual(code, 0, output)
        wrong_file = libraries.replace("sources ROOT/store/Old.cpp", "sources ROOT/store/Old.cpp ROOT/app/Window.h")
        self.assertFails({}, "lib_store: compiles app/Window.h, which belongs to app, not to store", libraries=wrong_file)
        upward = libraries.replace("links lib_base ZLIB", "links lib_app lib_base ZLIB")
        self.assertFails({}, "lib_store (store) may not link lib_app (app)", libraries=upward)
        self.assertFails({}, "lib_app (app) may not link lib_impl (impl)",
                         libraries=libraries.replace("links lib_store lib_base", "links lib_store lib_base lib_impl"))

    def test_a_broken_graph_is_reported(self):
        code, output = self.run_check({}, graph=GRAPH.replace("impl       base\n", ""))
        self.assertEqual(code, 2)
        self.assertIn("no [may include] line for impl", output)


if __name__ == "__main__":
    unittest.main()
