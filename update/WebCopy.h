// The transfer component. Only its proxy settings exist so far: start-up hands
// them over; the transfers themselves come with the update check.
#pragma once

#include <string>

namespace korvane {

class TWebCopy {
 public:
  std::string Proxy;          // host, colon and port; empty: the system's Internet settings
  std::string ProxyUserID;
  std::string ProxyPassword;
  bool ShowCompletion = false;
};

}  // namespace korvane
