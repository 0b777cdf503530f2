// The text of an initialisation file, read and changed with the rules of the
// system's private-profile functions.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

namespace korvane {

class ProfileText {
 public:
  static ProfileText parse(std::string_view utf8);

  // The value of the first key of that name in the first section of that name;
  // nullopt when either is missing. A line without "=" is a key with an empty value.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  std::vector<std::string> sectionNames() const;
  std::optional<std::vector<std::string>> keyNames(std::string_view section) const;

  void set(std::string_view section, std::string_view key, std::string_view value);
  std::string render() const;  // CRLF line ends

 private:
  struct Line {
    std::string text;     // as in the file
    std::string section;  // section header: its name
    std::string key;      // key line: its name
    bool isSection = false;
    bool isKey = false;
  };
  // Index of the first header of that section, or npos.
  size_t findSection(std::string_view section) const;
  size_t findKey(size_t sectionLine, std::string_view key) const;
  size_t sectionEnd(size_t sectionLine) const;
  // Rebuilds the look-up tables after the lines changed.
  void reindex();

  struct Section {
    size_t header = 0;
    size_t end = 0;                                    // the line after its last one
    std::vector<size_t> keys;                          // first occurrences, in order
    std::unordered_map<std::string, size_t> keyLines;  // upper-cased key -> line
  };
  std::vector<Line> lines_;
  std::vector<size_t> sectionOrder_;                   // first headers, in order
  std::unordered_map<std::string, Section> sections_;  // upper-cased name -> first section
};

}  // namespace korvane
