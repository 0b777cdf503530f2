// Writer and reader of the rich-text format, for the little the program keeps
// in it. The reader takes the text of any document a rich edit control
// writes: it skips header groups and unknown destinations, and decodes hex
// escapes in the document's code page and Unicode escapes.
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/RichText.h"
#include "platform/Text.h"

namespace korvane {

namespace {

constexpr unsigned kGb2312 = 936;

std::string escapeText(std::string_view text, CodePages& codePages) {
  std::string out;
  const std::u16string units = utf8ToUtf16(text);
  for (char16_t unit : units) {
    if (unit == u'\\' || unit == u'{' || unit == u'}') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit == u'\n') {
      out += "\\par\r\n";
    } else if (unit == u'\r') {
      continue;
    } else if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else {
      const auto bytes = codePages.fromUtf8(utf16ToUtf8(std::u16string(1, unit)), kGb2312);
      if (bytes) {
        for (unsigned char byte : *bytes) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\'%02x", byte);
          out += hex;
        }
      } else {
        out += "\\u" + std::to_string(static_cast<int16_t>(unit)) + "?";
      }
    }
  }
  return out;
}

// A small reader: groups, control words, control symbols, text.
class RtfReader {
 public:
  RtfReader(std::string_view document, CodePages& codePages) : in_(document), codePages_(codePages) {}

  std::string plainText() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      if (c == '{') {
        ++pos_;
        stack_.push_back(state_);
        state_.groupStart = true;
      } else if (c == '}') {
        ++pos_;
        flushBytes();
        if (stack_.empty()) break;
        state_ = stack_.back();
        stack_.pop_back();
        if (stack_.empty()) break;  // the document's own group has ended; what follows is not text
      } else if (c == '\\') {
        controlSequence();
      } else if (c == '\r' || c == '\n') {
        ++pos_;
      } else {
        ++pos_;
        state_.groupStart = false;
        emitByte(static_cast<unsigned char>(c));
      }
    }
    flushBytes();
    return out_;
  }

 private:
  struct State {
    bool skip = false;        // inside a destination whose text is not document text
    bool groupStart = false;  // nothing read yet in this group
    int unicodeSkip = 1;      // \ucN: bytes that stand in for a \u character
  };

  void controlSequence() {
    ++pos_;
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      controlSymbol(c);
      return;
    }
    std::string word;
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])) && word.size() < 32)
      word += in_[pos_++];
    std::string digits;
    if (pos_ < in_.size() && (in_[pos_] == '-' || std::isdigit(static_cast<unsigned char>(in_[pos_]))))
      digits += in_[pos_++];
    while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_])) && digits.size() < 11)
      digits += in_[pos_++];
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    const bool hasNumber = !digits.empty() && digits != "-";
    const long number = hasNumber ? std::stol(digits) : 0;
    controlWord(word, hasNumber, number);
  }

  void controlSymbol(char c) {
    state_.groupStart = false;
    if (c == '*') {
      state_.skip = true;  // an optional destination we do not know
    } else if (c == '\'') {
      const std::string hex(in_.substr(pos_, 2));
      if (hex.size() == 2 && std::isxdigit(static_cast<unsigned char>(hex[0])) &&
          std::isxdigit(static_cast<unsigned char>(hex[1]))) {
        pos_ += 2;
        emitByte(static_cast<unsigned char>(std::stoi(hex, nullptr, 16)));
      }
    } else if (c == '\\' || c == '{' || c == '}') {
      emitByte(static_cast<unsigned char>(c));
    } else if (c == '~') {
      emitText(" ");
    } else if (c == '\r' || c == '\n') {
      emitText("\n");  // "\" at a line end is a paragraph mark
    }
  }

  void controlWord(const std::string& word, bool hasNumber, long number) {
    static const char* const kDestinations[] = {"fonttbl", "colortbl", "stylesheet", "info", "pict", "header",
                                                "footer", "listtable", "listoverridetable", "rsidtbl",
                                                "generator", "xmlnstbl", "themedata", "latentstyles"};
    const bool starts = state_.groupStart;
    state_.groupStart = false;
    if (starts)
      for (const char* destination : kDestinations)
        if (word == destination) state_.skip = true;
    if (word == "ansicpg" && hasNumber && number > 0) codePage_ = static_cast<unsigned>(number);
    else if (word == "par" || word == "line") emitText("\n");
    else if (word == "tab") emitText("\t");
    else if (word == "uc" && hasNumber) state_.unicodeSkip = static_cast<int>(number);
    else if (word == "u" && hasNumber) unicode(number);
  }

  void unicode(long number) {
    const char16_t unit = static_cast<char16_t>(number < 0 ? number + 65536 : number);
    emitText(utf16ToUtf8(std::u16string(1, unit)));
    // Skip the stand-in characters that follow for readers without Unicode.
    for (int k = 0; k < state_.unicodeSkip && pos_ < in_.size(); ++k) {
      if (in_[pos_] == '\\' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '\'') pos_ += 4;
      else if (in_[pos_] == '{' || in_[pos_] == '}' || in_[pos_] == '\\') break;
      else ++pos_;
    }
  }

  void emitByte(unsigned char byte) {
    if (!state_.skip) pending_ += static_cast<char>(byte);
  }
  void emitText(const std::string& text) {
    if (state_.skip) return;
    flushBytes();
    out_ += text;
  }
  void flushBytes() {
    if (pending_.empty()) return;
    out_ += codePages_.toUtf8(pending_, codePage_).value_or(std::string(pending_.size(), '?'));
    pending_.clear();
  }

  std::string_view in_;
  CodePages& codePages_;
  size_t pos_ = 0;
  unsigned codePage_ = 1252;
  State state_;
  std::vector<State> stack_;
  std::string pending_;
  std::string out_;
};

}  // namespace

std::string richTextDocument(std::string_view text, CodePages& codePages) {
  return "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang2052{\\fonttbl{\\f0\\fswiss\\fcharset134 MS Sans Serif;}}\r\n"
         "\\viewkind4\\uc1\\pard\\f0\\fs16 " +
         escapeText(text, codePages) + "\\par\r\n}\r\n";
}

std::string richTextToPlainText(std::string_view document, CodePages& codePages) {
  if (document.substr(0, 5) != "{\\rtf") return decodeText(document, codePages);
  std::string text = RtfReader(document, codePages).plainText();
  // The control ends every document with a paragraph mark of its own.
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace korvane
