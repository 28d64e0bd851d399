// A Simple MAPI client for tests: the profiles it accepts, the names it
// knows, and everything asked of it, as lines in `calls`.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/simple_mapi.h"

namespace orvik {

class FakeSimpleMapi final : public SimpleMapi {
 public:
  std::unique_ptr<MapiLibrary> load() override;

  bool installed = true;
  std::vector<std::string> profiles{"ups"};      // "" stands for logging on without one
  std::map<std::string, std::string> addresses;  // resolvable name -> address
  // "load", "logon ups new", "logon - shared", "resolve NAME", "send TO,TO|SUBJECT|BODY",
  // "logoff", "release"
  std::vector<std::string> calls;
};

}  // namespace orvik
