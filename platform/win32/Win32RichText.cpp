// Setup.DIY through the system's rich edit control, as the program always did.
#include "platform/win32/Win32Util.h"  // first: it brings <windows.h>

#include <richedit.h>

#include <algorithm>
#include <cstring>

#include "platform/RichText.h"

namespace korvane {

namespace {

DWORD CALLBACK appendOut(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* written) {
  reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
  *written = count;
  return 0;
}

struct Source {
  const std::string& bytes;
  size_t offset = 0;
};

DWORD CALLBACK readIn(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* read) {
  auto* source = reinterpret_cast<Source*>(cookie);
  const size_t n = std::min(static_cast<size_t>(count), source->bytes.size() - source->offset);
  std::memcpy(buffer, source->bytes.data() + source->offset, n);
  source->offset += n;
  *read = static_cast<LONG>(n);
  return 0;
}

// A hidden rich edit control with the program's default formatting.
class RichEdit {
 public:
  RichEdit() {
    if (!LoadLibraryW(L"riched20.dll")) return;
    // A message-only child: it needs no desktop, so it works in services and headless sessions.
    window_ = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_CHILD | ES_MULTILINE, 0, 0, 100, 100, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~RichEdit() {
    if (window_) DestroyWindow(window_);
  }
  RichEdit(const RichEdit&) = delete;
  RichEdit& operator=(const RichEdit&) = delete;

  bool ready() const { return window_ != nullptr; }

  std::optional<std::string> documentOf(const std::string& text) {
    std::wstring lines;
    for (wchar_t c : win32::wide(text)) lines += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    SetWindowTextW(window_, lines.c_str());
    applyDefaultFormat();  // after the text: setting the text may reset it
    std::string out;
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&out), 0, appendOut};
    SendMessageW(window_, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    if (stream.dwError != 0) return std::nullopt;
    return out;
  }

  std::string textOf(const std::string& bytes) {
    Source source{bytes};
    const bool rtf = bytes.compare(0, 5, "{\\rtf") == 0;
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, readIn};
    SendMessageW(window_, EM_STREAMIN, rtf ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&stream));
    const int length = GetWindowTextLengthW(window_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window_, text.data(), length + 1)));
    // The control keeps paragraphs apart with "\r" (or "\r\n"); the program uses "\n".
    std::wstring lines;
    for (size_t k = 0; k < text.size(); ++k) {
      if (text[k] == L'\r') {
        lines += L'\n';
        if (k + 1 < text.size() && text[k + 1] == L'\n') ++k;
      } else {
        lines += text[k];
      }
    }
    return win32::narrow(lines);
  }

 private:
  // The program's formatting: MS Sans Serif, 8 point, character set GB2312.
  void applyDefaultFormat() {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_BOLD;
    wcscpy_s(format.szFaceName, L"MS Sans Serif");
    format.yHeight = 8 * 20;  // twips
    format.bCharSet = GB2312_CHARSET;
    SendMessageW(window_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  }

  HWND window_ = nullptr;
};

class Win32RichText : public RichText {
 public:
  explicit Win32RichText(Machine& machine) : machine_(machine) {}

  bool writePlainText(const std::string& path, const std::string& text) override {
    RichEdit control;
    const auto document = control.ready() ? control.documentOf(text) : std::nullopt;
    return document && machine_.files().writeFile(path, *document);
  }

  std::optional<std::string> readPlainText(const std::string& path) override {
    const auto bytes = machine_.files().readFile(path);
    if (!bytes) return std::nullopt;
    RichEdit control;
    if (!control.ready()) return std::nullopt;
    return control.textOf(*bytes);
  }

 private:
  Machine& machine_;
};

}  // namespace

std::unique_ptr<RichText> makeRichText(Machine& machine) { return std::make_unique<Win32RichText>(machine); }

}  // namespace korvane
