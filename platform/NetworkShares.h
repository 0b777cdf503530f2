// Connections to network shares ("\\host\share") with a user of one's own,
// so that paths below the share can be read and written while connected.
#pragma once

#include <string>

namespace korvane {

class NetworkShares {
 public:
  virtual ~NetworkShares() = default;
  // An empty user and password connect as the current user. false with a
  // message saying what failed.
  virtual bool connect(const std::string& share, const std::string& user, const std::string& password,
                       std::string& error) = 0;
  // force: drops the connection even while files on it are open.
  virtual bool disconnect(const std::string& share, bool force, std::string& error) = 0;
};

}  // namespace korvane
