#include "platform/image/RegFile.h"

#include <cstdint>
#include <utility>

#include "platform/Text.h"

namespace korvane {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr size_t kFoldColumn = 80;  // regedit keeps hex lines, "\" included, within this width

struct ParseError {
  size_t line;
  std::string what;
};

[[noreturn]] void fail(size_t line, std::string what) { throw ParseError{line, std::move(what)}; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// Broken input can be long or binary: messages show a short, clipped piece of it.
std::string shown(std::string_view text) {
  constexpr size_t kMax = 40;
  std::string piece = "'";  // built by appends: GCC 12 misreads the chain of operator+ at -O3
  piece.append(text.substr(0, kMax));
  piece.append(text.size() > kMax ? "...'" : "'");
  return piece;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to maxDigits hexadecimal digits and nothing else.
std::optional<uint32_t> parseHexNumber(std::string_view digits, size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
  uint32_t value = 0;
  for (char c : digits) {
    const int d = hexDigit(c);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(d);
  }
  return value;
}

bool isValidUtf8(const std::string& s) { return isAscii(s) || utf16ToUtf8(utf8ToUtf16(s)) == s; }

// The file's lines as UTF-8. Text that does not decode fails on its line
// rather than turning silently into replacement characters.
std::vector<std::string> decodeLines(std::string_view bytes, CodePages& codePages) {
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") return splitLines(utf16leBytesToUtf8(bytes.substr(2)));
  const bool utf8 = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
  std::vector<std::string> lines = splitLines(utf8 ? bytes.substr(3) : bytes);
  const unsigned codePage = codePages.ansiCodePage();
  for (size_t k = 0; k < lines.size(); ++k) {
    if (isAscii(lines[k])) continue;
    if (utf8) {
      if (!isValidUtf8(lines[k])) fail(k + 1, "the line is not valid UTF-8");
    } else if (auto text = codePages.toUtf8(lines[k], codePage)) {
      lines[k] = std::move(*text);
    } else {
      fail(k + 1, "the line is not text in code page " + std::to_string(codePage));
    }
  }
  return lines;
}

// Text joined from a line and its continuation lines, remembering where each
// piece came from so that errors name the right line.
struct JoinedText {
  std::string text;
  std::vector<std::pair<size_t, size_t>> pieces;  // (offset in text, line number)

  void append(std::string_view piece, size_t line) {
    pieces.emplace_back(text.size(), line);
    text += piece;
  }
  size_t lineAt(size_t offset) const {
    size_t line = pieces.front().second;
    for (const auto& [start, number] : pieces)
      if (start <= offset) line = number;
    return line;
  }
};

class Parser {
 public:
  Parser(std::vector<std::string> lines, CodePages& codePages) : lines_(std::move(lines)), codePages_(codePages) {}

  std::vector<RegFileKey> run() {
    readHeader();
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      const std::string_view text = trimBlanks(lines_[index_]);
      if (text.find('\0') != std::string_view::npos) fail(lineNumber(), "NUL character in the line");
      if (text.empty() || text.front() == ';') continue;
      if (text.front() == '[') {
        readKeyLine(text);
      } else if (text.front() == '"' || text.front() == '@') {
        readValueLine(text);
      } else {
        fail(lineNumber(), "unexpected text " + shown(text));
      }
    }
    return std::move(keys_);
  }

 private:
  size_t lineNumber() const { return index_ + 1; }

  void readHeader() {
    if (lines_.empty()) fail(1, "empty file, no header");
    const std::string_view header = trimBlanks(lines_[0]);
    if (header == kHeader4) {
      eightBitText_ = true;
    } else if (header != kHeader5) {
      fail(1, "unknown header " + shown(header));
    }
  }

  void readKeyLine(std::string_view text) {
    if (text.back() != ']' || text.size() < 2) fail(lineNumber(), "key line without closing ']'");
    std::string_view inner = text.substr(1, text.size() - 2);
    RegFileKey key;
    key.remove = !inner.empty() && inner.front() == '-';
    if (key.remove) inner.remove_prefix(1);
    const size_t rootEnd = inner.find('\\');
    const std::string_view rootName = inner.substr(0, rootEnd);
    const auto root = parseRegRoot(std::string(rootName));
    if (!root) fail(lineNumber(), "unknown root key " + shown(rootName));
    key.root = *root;
    for (size_t start = rootEnd; start != std::string_view::npos;) {
      const size_t end = inner.find('\\', start + 1);
      const std::string_view name = inner.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
      if (name.empty()) fail(lineNumber(), "empty key name in " + shown(inner));
      key.path.emplace_back(name);
      start = end;
    }
    if (key.path.size() > kMaxRegKeyDepth)
      fail(lineNumber(), "key path deeper than " + std::to_string(kMaxRegKeyDepth) + " levels");
    if (key.remove && key.path.empty()) fail(lineNumber(), "a root key cannot be deleted");
    keys_.push_back(std::move(key));
  }

  void readValueLine(std::string_view text) {
    if (keys_.empty()) fail(lineNumber(), "value line before any key");
    if (keys_.back().remove) fail(lineNumber(), "value line under a deleted key");
    size_t pos = 0;
    std::string name;
    if (text.front() == '@') {
      pos = 1;
    } else {
      name = readQuoted(text, pos);
    }
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    if (pos >= text.size() || text[pos] != '=') fail(lineNumber(), "'=' expected after the value name");
    keys_.back().values.push_back({std::move(name), readData(trimBlanks(text.substr(pos + 1)))});
  }

  // A "..." string starting at pos; pos ends after the closing quote.
  std::string readQuoted(std::string_view text, size_t& pos) const {
    std::string out;
    for (++pos; pos < text.size();) {
      const char c = text[pos++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
      } else if (pos < text.size() && (text[pos] == '\\' || text[pos] == '"')) {
        out += text[pos++];
      } else {
        fail(lineNumber(), "unknown escape " + shown(text.substr(pos - 1, 2)) + " in a string");
      }
    }
    fail(lineNumber(), "unterminated string");
  }

  std::optional<RegValue> readData(std::string_view data) {
    if (data == "-") return std::nullopt;
    if (!data.empty() && data.front() == '"') {
      size_t pos = 0;
      std::string text = readQuoted(data, pos);
      if (pos != data.size()) fail(lineNumber(), "text after the closing quote: " + shown(data.substr(pos)));
      return RegValue::fromString(text);
    }
    if (startsWithNoCase(data, "dword:")) {
      const auto number = parseHexNumber(trimBlanks(data.substr(6)), 8);
      if (!number) fail(lineNumber(), "bad dword value " + shown(data.substr(6)));
      return RegValue::fromDword(*number);
    }
    if (startsWithNoCase(data, "hex:"))
      return RegValue{static_cast<uint32_t>(RegType::Binary), readHexBytes(data.substr(4))};
    if (startsWithNoCase(data, "hex(")) return readTypedHex(data);
    fail(lineNumber(), "unknown value data " + shown(data));
  }

  RegValue readTypedHex(std::string_view data) {
    const size_t close = data.find(')');
    const auto type = close == std::string_view::npos ? std::nullopt : parseHexNumber(data.substr(4, close - 4), 8);
    if (!type || close + 1 >= data.size() || data[close + 1] != ':')
      fail(lineNumber(), "bad value type in " + shown(data));
    const size_t firstLine = lineNumber();
    RegValue value{*type, readHexBytes(data.substr(close + 2))};
    if (eightBitText_ && isTextType(*type)) value.data = eightBitToUtf16(value.data, firstLine);
    return value;
  }

  static bool isTextType(uint32_t type) {
    return type == static_cast<uint32_t>(RegType::String) || type == static_cast<uint32_t>(RegType::ExpandString) ||
           type == static_cast<uint32_t>(RegType::MultiString);
  }

  // Comma-separated bytes; a trailing backslash continues them on the next line.
  std::vector<uint8_t> readHexBytes(std::string_view first) {
    JoinedText joined;
    std::string_view piece = trimBlanks(first);
    for (;;) {
      const bool continues = !piece.empty() && piece.back() == '\\';
      if (continues) piece.remove_suffix(1);
      joined.append(piece, lineNumber());
      if (!continues) break;
      if (index_ + 1 >= lines_.size()) fail(lineNumber(), "value continues past the end of the file");
      piece = trimBlanks(lines_[++index_]);
    }
    return parseByteList(joined);
  }

  static std::vector<uint8_t> parseByteList(const JoinedText& joined) {
    std::vector<uint8_t> bytes;
    if (trimBlanks(joined.text).empty()) return bytes;
    const std::string_view text = joined.text;
    for (size_t start = 0; start <= text.size();) {
      size_t end = text.find(',', start);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view token = trimBlanks(text.substr(start, end - start));
      const auto byte = parseHexNumber(token, 2);
      if (!byte) fail(joined.lineAt(start), token.empty() ? "missing hex byte" : "bad hex byte " + shown(token));
      bytes.push_back(static_cast<uint8_t>(*byte));
      start = end + 1;
    }
    return bytes;
  }

  // REGEDIT4 keeps string values as 8-bit text; the registry holds UTF-16LE.
  std::vector<uint8_t> eightBitToUtf16(const std::vector<uint8_t>& bytes, size_t line) const {
    std::string out;
    const unsigned codePage = codePages_.ansiCodePage();
    for (size_t start = 0, k = 0; k <= bytes.size(); ++k) {
      if (k < bytes.size() && bytes[k] != 0) continue;
      if (k > start) {
        const auto text = codePages_.toUtf8(std::string(bytes.begin() + start, bytes.begin() + k), codePage);
        if (!text) fail(line, "string data is not text in code page " + std::to_string(codePage));
        out += utf8ToUtf16leBytes(*text);
      }
      if (k < bytes.size()) out += std::string(2, '\0');
      start = k + 1;
    }
    return std::vector<uint8_t>(out.begin(), out.end());
  }

  std::vector<std::string> lines_;
  CodePages& codePages_;
  size_t index_ = 0;
  bool eightBitText_ = false;
  std::vector<RegFileKey> keys_;
};

// --- writing ---

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// Lower-case hexadecimal, zero-padded to at least width digits.
std::string hexNumber(uint32_t value, size_t width = 1) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return std::string(width > out.size() ? width - out.size() : 0, '0') + out;
}

// A string value regedit can show as "...": one terminating NUL, nothing that
// breaks the line, and text that converts back to the same bytes.
bool isPlainString(const RegValue& value) {
  if (value.type != static_cast<uint32_t>(RegType::String)) return false;
  const std::string text = value.asString();
  return text.find_first_of("\r\n") == std::string::npos && RegValue::fromString(text).data == value.data;
}

void appendHexData(std::string& out, std::string line, const std::vector<uint8_t>& data) {
  bool lineHasBytes = false;
  for (size_t k = 0; k < data.size(); ++k) {
    if (lineHasBytes && line.size() + 3 >= kFoldColumn) {
      out += line + "\\\r\n";
      line = "  ";
    }
    line += hexNumber(data[k], 2) + (k + 1 < data.size() ? "," : "");
    lineHasBytes = true;
  }
  out += line + "\r\n";
}

void appendValue(std::string& out, const RegFileValue& entry) {
  const std::string prefix = (entry.name.empty() ? std::string("@") : quoted(entry.name)) + "=";
  if (!entry.value) {
    out += prefix + "-\r\n";
    return;
  }
  const RegValue& value = *entry.value;
  if (isPlainString(value)) {
    out += prefix + quoted(value.asString()) + "\r\n";
  } else if (value.type == static_cast<uint32_t>(RegType::Dword) && value.data.size() == 4) {
    out += prefix + "dword:" + hexNumber(static_cast<uint32_t>(*value.asNumber()), 8) + "\r\n";
  } else {
    const bool binary = value.type == static_cast<uint32_t>(RegType::Binary);
    appendHexData(out, prefix + (binary ? "hex:" : "hex(" + hexNumber(value.type) + "):"), value.data);
  }
}

std::string keyLine(const RegFileKey& key) {
  std::string line = std::string("[") + (key.remove ? "-" : "") + regRootName(key.root);
  for (const auto& name : key.path) line += "\\" + name;
  return line + "]\r\n";
}

}  // namespace

std::optional<std::vector<RegFileKey>> parseRegFile(std::string_view bytes, const std::string& fileName,
                                                    CodePages& codePages, std::string& error) {
  try {
    return Parser(decodeLines(bytes, codePages), codePages).run();
  } catch (const ParseError& e) {
    error = fileName + ":" + std::to_string(e.line) + ": " + e.what;
    return std::nullopt;
  }
}

std::string writeRegFile(const std::vector<RegFileKey>& keys) {
  std::string text = std::string(kHeader5) + "\r\n\r\n";
  for (const auto& key : keys) {
    text += keyLine(key);
    for (const auto& value : key.values) appendValue(text, value);
    text += "\r\n";
  }
  return "\xFF\xFE" + utf8ToUtf16leBytes(text);
}

bool isWritableRegName(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace korvane
