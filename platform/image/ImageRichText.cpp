#include "platform/RichText.h"

namespace korvane {

namespace {

// On a machine image the document is written and read by our own code.
class ImageRichText : public RichText {
 public:
  explicit ImageRichText(Machine& machine) : machine_(machine) {}

  bool writePlainText(const std::string& path, const std::string& text) override {
    return machine_.files().writeFile(path, richTextDocument(text, machine_.codePages()));
  }
  std::optional<std::string> readPlainText(const std::string& path) override {
    const auto bytes = machine_.files().readFile(path);
    if (!bytes) return std::nullopt;
    return richTextToPlainText(*bytes, machine_.codePages());
  }

 private:
  Machine& machine_;
};

}  // namespace

std::unique_ptr<RichText> makeRichText(Machine& machine) { return std::make_unique<ImageRichText>(machine); }

}  // namespace korvane
