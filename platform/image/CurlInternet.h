// Internet transfers of a machine image, through libcurl. The proxy of the
// image's own Internet Settings stands in for the system's; the host's
// proxy variables are never read.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/Internet.h"
#include "platform/Registry.h"

namespace korvane {

// hostMap: names that are served from another address, such as a test
// server on the loopback address ("drivers.example" to "127.0.0.1").
std::unique_ptr<Internet> makeCurlInternet(Registry& registry, std::map<std::string, std::string> hostMap);

}  // namespace korvane
