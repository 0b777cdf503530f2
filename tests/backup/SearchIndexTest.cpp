// The index must give exactly the per-name walk's answer. Both run on many
// generated trees full of near-collisions: names differing in case, long
// names with 8.3 aliases, the same name at several depths, folders bearing a
// file's name, non-ASCII names, and queries in changed case, with trailing
// dots or wildcards.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "backup/SearchTestSupport.h"
#include "platform/Text.h"

namespace korvane::test {
namespace {

class TreeGenerator {
 public:
  static constexpr size_t kQueries = 40;  // each costs the walk one or two trips over the tree

  explicit TreeGenerator(unsigned seed) : random_(seed) {}

  // Fills the image's drive C and returns names worth asking for.
  std::vector<std::string> fill(ImageBuilder& image) {
    for (const char* top : {"WINDOWS", "WINDOWS\\system32", "WINDOWS\\system32\\drivers", "", "Program Files"})
      addFolder(image, top, 0);
    std::vector<std::string> queries = names_;
    for (const auto& name : names_) queries.push_back(variant(name));
    for (int i = 0; i < 8; ++i) queries.push_back(fileName() + std::to_string(i));  // found nowhere
    std::shuffle(queries.begin(), queries.end(), random_);
    if (queries.size() > kQueries) queries.resize(kQueries);
    for (const char* odd : {"Long Name ~ 1.sys", "LONGNA~1.SYS", "LONGNA~2.SYS", "*.sys", "a?.sys", "[x].inf", "a;b.cat"})
      queries.push_back(odd);
    return queries;
  }

 private:
  void addFolder(ImageBuilder& image, const std::string& folder, int depth) {
    const std::string prefix = folder.empty() ? "" : folder + "\\";
    std::set<std::string> taken;  // a folder holds no two entries Windows would take for one
    const auto add = [&](const std::string& name) { return taken.insert(upperCase(name)).second; };
    const int files = pick(0, 4);
    for (int i = 0; i < files; ++i) {
      const std::string name = chance(4) && !names_.empty() ? variant(names_[pick(0, names_.size() - 1)]) : fileName();
      if (!add(name)) continue;
      image.file(prefix + name, "");
      names_.push_back(name);
    }
    if (chance(6) && !names_.empty()) {
      const std::string name = names_[pick(0, names_.size() - 1)];
      if (add(name)) image.file(prefix + name + "\\inner.txt", "");
    }
    const int subfolders = depth >= 5 ? 0 : pick(0, depth == 0 ? 4 : 2);
    for (int i = 0; i < subfolders; ++i)
      if (const std::string name = folderName(); add(name)) addFolder(image, prefix + name, depth + 1);
  }

  std::string fileName() {
    // Besides ASCII: names equal only when upper-cased beyond ASCII, and one
    // whose upper case is ASCII.
    static const char* stems[] = {"ati", "nv", "Long Name ", "a", "b", "usb", "port", "snd card",
                                  "Größe", "GRÖSSE", "ärger", "ÄRGER", "Сеть", "сеть", "ıd", "ID"};
    static const char* extensions[] = {".sys", ".dll", ".inf", ".cat", "", ".Sys", ".hlp"};
    return stems[pick(0, 15)] + std::to_string(pick(0, 3)) + extensions[pick(0, 6)];
  }
  std::string folderName() {
    static const char* names[] = {"Alpha", "beta", "Drivers", "inf", "Sub Folder", "X", "system"};
    return names[pick(0, 6)] + std::string(chance(2) ? "" : std::to_string(pick(0, 2)));
  }
  // The same name as Windows compares it: other case, sometimes a trailing dot.
  std::string variant(std::string name) {
    for (auto& c : name)
      if (chance(2)) c = static_cast<char>(std::islower(static_cast<unsigned char>(c)) ? std::toupper(c) : std::tolower(c));
    if (chance(5)) name += ".";
    return name;
  }
  int pick(size_t low, size_t high) { return static_cast<int>(std::uniform_int_distribution<size_t>(low, high)(random_)); }
  bool chance(int oneIn) { return pick(1, oneIn) == 1; }

  std::mt19937 random_;
  std::vector<std::string> names_;
};

TEST(SearchIndex, GivesTheWalksAnswerOnGeneratedTrees) {
  size_t bySearch = 0, nowhere = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    ImageBuilder image;
    const auto queries = TreeGenerator(seed).fill(image);
    Machine& machine = image.open();
    const bool ntFamily = seed % 4 != 0;
    const std::string windows = seed % 3 == 0 ? "C:\\windows" : "C:\\WINDOWS";
    SearchSession walkSession, indexSession;
    auto walk = walkSession.search(machine, SearchMethod::PerNameWalk, ntFamily, windows);
    auto index = indexSession.search(machine, SearchMethod::Index, ntFamily, windows);
    for (const auto& name : queries) {
      const auto expected = walk->Resolve(name);
      const auto actual = index->Resolve(name);
      ASSERT_EQ(pathOf(actual), pathOf(expected)) << "seed " << seed << ", name \"" << name << "\"";
      ASSERT_EQ(actual && actual->bySearch, expected && expected->bySearch) << "seed " << seed << ", " << name;
      bySearch += expected && expected->bySearch;
      nowhere += !expected;
    }
  }
  // The trees must exercise the searches, not only the system folders.
  EXPECT_GT(bySearch, 400u);
  EXPECT_GT(nowhere, 100u);
}

TEST(SearchIndex, GivesTheWalksAnswerWhenStopComesAtTheSameFolder) {
  for (unsigned seed = 100; seed < 106; ++seed) {
    ImageBuilder image;
    const auto queries = TreeGenerator(seed).fill(image);
    Machine& machine = image.open();
    std::string stopFolder;
    {
      SearchSession probe;  // a folder in the middle of a full walk
      probe.search(machine, SearchMethod::PerNameWalk)->Resolve("nowhere.sys");
      const auto folders = probe.folders;
      stopFolder = folders[folders.size() / 2];
    }
    for (const auto& name : queries) {
      std::string answers[2];
      for (SearchMethod method : {SearchMethod::PerNameWalk, SearchMethod::Index}) {
        SearchSession session;
        session.view.onPump = [&] {
          if (!session.folders.empty() && session.folders.back() == stopFolder) session.stop = true;
        };
        answers[method == SearchMethod::Index] = pathOf(session.search(machine, method)->Resolve(name));
      }
      ASSERT_EQ(answers[1], answers[0]) << "seed " << seed << ", name " << name << ", stop at " << stopFolder;
    }
  }
}

}  // namespace
}  // namespace korvane::test
