// Code page conversions of the Linux build, through the C library's iconv.
#pragma once

#include "platform/Text.h"

namespace korvane {

class IconvCodePages : public CodePages {
 public:
  explicit IconvCodePages(unsigned ansiCodePage) : ansi_(ansiCodePage) {}
  unsigned ansiCodePage() override { return ansi_; }
  std::optional<std::string> toUtf8(std::string_view bytes, unsigned codePage) override;
  std::optional<std::string> fromUtf8(std::string_view utf8, unsigned codePage) override;

 private:
  unsigned ansi_;
};

}  // namespace korvane
