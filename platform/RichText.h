// Rich-text documents of two or three plain lines (Setup.DIY): on Windows
// through the rich edit control, on machine images through our own writer
// and reader of the same format.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Machine.h"

namespace korvane {

class RichText {
 public:
  virtual ~RichText() = default;
  // Writes the text (lines separated by "\n") as a rich-text document with the
  // control's default formatting: MS Sans Serif, 8 point, character set GB2312.
  virtual bool writePlainText(const std::string& path, const std::string& text) = 0;
  // The plain text of a rich-text document (or of a plain file, as the control
  // loads it), lines separated by "\n"; nullopt when the file cannot be read.
  virtual std::optional<std::string> readPlainText(const std::string& path) = 0;
};

// The platform's rich-text service for a machine.
std::unique_ptr<RichText> makeRichText(Machine& machine);

// The format itself, shared by both builds: a document as the rich edit
// control writes it, and the plain text of any rich-text document.
std::string richTextDocument(std::string_view text, CodePages& codePages);
std::string richTextToPlainText(std::string_view document, CodePages& codePages);

}  // namespace korvane
