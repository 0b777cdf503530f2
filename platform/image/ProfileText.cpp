#include "platform/image/ProfileText.h"

#include "platform/Text.h"

namespace korvane {

namespace {

constexpr size_t npos = std::string::npos;

std::string unquote(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

ProfileText ProfileText::parse(std::string_view utf8) {
  ProfileText profile;
  for (auto& raw : splitLines(utf8)) {
    Line line;
    const std::string content = trim(raw);
    line.text = std::move(raw);
    if (!content.empty() && content.front() == '[') {
      const size_t close = content.find(']');
      line.isSection = true;
      line.section = trim(std::string_view(content).substr(1, close == npos ? npos : close - 1));
    } else if (!content.empty() && content.front() != ';') {
      line.isKey = true;
      line.key = trim(std::string_view(content).substr(0, content.find('=')));
    }
    profile.lines_.push_back(std::move(line));
  }
  profile.reindex();
  return profile;
}

void ProfileText::reindex() {
  sections_.clear();
  sectionOrder_.clear();
  Section* current = nullptr;  // the first section of its name, or null for a repeat
  for (size_t k = 0; k <= lines_.size(); ++k) {
    if (k < lines_.size() && !lines_[k].isSection) {
      if (current && lines_[k].isKey && current->keyLines.emplace(upperCase(lines_[k].key), k).second)
        current->keys.push_back(k);
      continue;
    }
    if (current) current->end = k;
    if (k == lines_.size()) break;
    const auto [place, added] = sections_.try_emplace(upperCase(lines_[k].section));
    current = added ? &place->second : nullptr;
    if (current) {
      current->header = k;
      sectionOrder_.push_back(k);
    }
  }
}

size_t ProfileText::findSection(std::string_view section) const {
  const auto found = sections_.find(upperCase(section));
  return found == sections_.end() ? npos : found->second.header;
}

size_t ProfileText::sectionEnd(size_t sectionLine) const {
  return sections_.at(upperCase(lines_[sectionLine].section)).end;
}

size_t ProfileText::findKey(size_t sectionLine, std::string_view key) const {
  const auto& lines = sections_.at(upperCase(lines_[sectionLine].section)).keyLines;
  const auto found = lines.find(upperCase(key));
  return found == lines.end() ? npos : found->second;
}

std::optional<std::string> ProfileText::value(std::string_view section, std::string_view key) const {
  const size_t header = findSection(section);
  if (header == npos) return std::nullopt;
  const size_t line = findKey(header, key);
  if (line == npos) return std::nullopt;
  const std::string& text = lines_[line].text;
  const size_t equals = text.find('=');
  if (equals == npos) return std::string();
  return unquote(trim(std::string_view(text).substr(equals + 1)));
}

std::vector<std::string> ProfileText::sectionNames() const {
  std::vector<std::string> names;
  for (size_t header : sectionOrder_) names.push_back(lines_[header].section);
  return names;
}

std::optional<std::vector<std::string>> ProfileText::keyNames(std::string_view section) const {
  const auto found = sections_.find(upperCase(section));
  if (found == sections_.end()) return std::nullopt;
  std::vector<std::string> names;
  for (size_t line : found->second.keys) names.push_back(lines_[line].key);
  return names;
}

void ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
  Line entry;
  entry.isKey = true;
  entry.key = std::string(key);
  entry.text = std::string(key) + "=" + std::string(value);

  size_t header = findSection(section);
  if (header == npos) {
    Line head;
    head.isSection = true;
    head.section = std::string(section);
    head.text = "[" + head.section + "]";
    lines_.push_back(std::move(head));
    lines_.push_back(std::move(entry));
    reindex();
    return;
  }
  if (const size_t line = findKey(header, key); line != npos) {
    lines_[line] = std::move(entry);
    return;  // same line, same name: the tables still hold
  }
  // New keys go after the section's last non-blank line, as the system does.
  size_t insertAt = sectionEnd(header);
  while (insertAt > header + 1 && trim(lines_[insertAt - 1].text).empty()) --insertAt;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
  reindex();
}

std::string ProfileText::render() const {
  std::string out;
  for (const auto& line : lines_) out += line.text + "\r\n";
  return out;
}

}  // namespace korvane
