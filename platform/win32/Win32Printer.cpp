// The default printer through GDI: one document, text lines drawn down each
// page in the printer's own font.
#include "platform/win32/Win32Util.h"

namespace korvane::win32 {

namespace {

// The [windows] device= setting, "name,driver,port"; Windows keeps it in the
// registry on the NT family and answers the same call from there.
std::wstring deviceSetting() {
  // A value that does not fit comes back as capacity - 1 characters.
  return fillGrowing([](wchar_t* buffer, DWORD capacity) {
    return GetProfileStringW(L"windows", L"device", L"", buffer, capacity);
  }, 1);
}

// The printer's device context, deleted when it goes.
class PrinterContext {
 public:
  explicit PrinterContext(const std::wstring& device) {
    const size_t first = device.find(L',');
    const size_t second = first == std::wstring::npos ? first : device.find(L',', first + 1);
    const std::wstring name = device.substr(0, first);
    const std::wstring driver = first == std::wstring::npos ? L"" : device.substr(first + 1, second - first - 1);
    dc_ = CreateDCW(driver.empty() ? nullptr : driver.c_str(), name.c_str(), nullptr, nullptr);
    if (!dc_) dc_ = CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
  }
  ~PrinterContext() {
    if (dc_) DeleteDC(dc_);
  }
  PrinterContext(const PrinterContext&) = delete;
  PrinterContext& operator=(const PrinterContext&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_ = nullptr;
};

bool drawPages(HDC dc, const std::vector<std::string>& lines) {
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc, &metrics)) return false;
  const int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
  const int pageHeight = GetDeviceCaps(dc, VERTRES);
  if (lineHeight <= 0 || pageHeight < lineHeight || StartPage(dc) <= 0) return false;
  int top = 0;
  for (const auto& line : lines) {
    if (top + lineHeight > pageHeight) {
      if (EndPage(dc) <= 0 || StartPage(dc) <= 0) return false;
      top = 0;
    }
    const std::wstring text = wide(line);
    if (!TextOutW(dc, 0, top, text.c_str(), static_cast<int>(text.size()))) return false;
    top += lineHeight;
  }
  return EndPage(dc) > 0;
}

class Win32Printer : public Printer {
 public:
  std::optional<std::string> defaultPrinter() override {
    const std::string name = trim(printerNameOfDevice(narrow(deviceSetting())));
    if (name.empty()) return std::nullopt;
    return name;
  }

  bool printLines(const std::string& documentName, const std::vector<std::string>& lines) override {
    if (!defaultPrinter()) return false;
    PrinterContext printer(deviceSetting());
    if (!printer.dc()) return false;
    const std::wstring title = wide(documentName);
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = title.c_str();
    if (StartDocW(printer.dc(), &document) <= 0) return false;
    if (!drawPages(printer.dc(), lines)) {
      AbortDoc(printer.dc());
      return false;
    }
    return EndDoc(printer.dc()) > 0;
  }
};

}  // namespace

std::unique_ptr<Printer> makePrinter() { return std::make_unique<Win32Printer>(); }

}  // namespace korvane::win32
