// The machine's default printer and print jobs of plain text lines on it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane {

class Printer {
 public:
  virtual ~Printer() = default;
  // The default printer's name; nullopt when none is selected.
  virtual std::optional<std::string> defaultPrinter() = 0;
  // The lines as one job on the default printer, each below the previous one
  // in the printer's own font, a new page when the next line would not fit.
  // False when there is no default printer or the job did not print whole.
  virtual bool printLines(const std::string& documentName, const std::vector<std::string>& lines) = 0;
};

// The printer's name in a "device" setting, "name,driver,port" (WIN.INI's
// [windows] device= or the NT registry's Device value); empty when it names none.
inline std::string printerNameOfDevice(const std::string& device) { return device.substr(0, device.find(',')); }

}  // namespace korvane
