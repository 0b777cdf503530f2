#!/usr/bin/env python3
"""docs/ARCHITECTURE.md against the code: every command is in the map, and
every file and handler the map names still exists."""
import glob
import os
import re
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# Folders the map names before they exist.
NOT_YET = set()


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        return file.read()


class ArchitectureMapTest(unittest.TestCase):
    def setUp(self):
        self.map = read("docs/ARCHITECTURE.md")
        self.code_words = set(re.findall(r"`([^`\s]+)`", self.map))

    def test_every_command_of_the_window_and_the_console_is_in_the_map(self):
        window = re.findall(r'\{"(\w+)", &TForm1::', read("app/BalvikLayout.cpp"))
        console = re.findall(r'command == "([\w-]+)"', read("cli/main.cpp") + read("cli/RestoreCommands.cpp") +
                             read("cli/PluginCommands.cpp"))
        self.assertGreater(len(window), 30)
        self.assertGreater(len(console), 8)
        self.assertEqual([name for name in window if name not in self.code_words], [])
        self.assertEqual([name for name in console if not re.search(rf"CLI `{re.escape(name)}[ `]", self.map)], [])

    def test_the_map_names_every_library_of_the_build_and_no_other(self):
        built = set()
        for folder, subfolders, files in os.walk(ROOT):
            subfolders[:] = [name for name in subfolders if not name.startswith(".") and name != "build"]
            if "CMakeLists.txt" in files:
                with open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8") as file:
                    built.update(re.findall(r"korvane_library\((korvane_\w+)", file.read()))
        named = {word for word in self.code_words if re.fullmatch(r"korvane_(?!library)\w+", word)}
        self.assertGreater(len(built), 8)
        self.assertEqual(sorted(built - named), [])
        self.assertEqual(sorted(named - built - {"korvane_gui"}), [])

    def test_every_file_and_handler_the_map_names_exists(self):
        paths = [word for word in self.code_words if "/" in word and word not in NOT_YET]
        self.assertEqual([path for path in paths if not glob.glob(os.path.join(ROOT, path))], [])
        declared = read("app/BalvikMain.h")
        handlers = [word for word in self.code_words if re.fullmatch(r"\w+Click", word)]
        self.assertEqual([name for name in handlers if not re.search(rf"\b{name}\(", declared)], [])


if __name__ == "__main__":
    unittest.main()
