// A Simple MAPI client for tests: the profiles it takes ("" for none), the
// names it resolves, and the messages sent, as "ADDRESS,ADDRESS|SUBJECT|BODY".
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/simple_mapi.h"

namespace orvik {

class FakeSimpleMapi final : public SimpleMapi {
 public:
  bool installed = true;
  std::vector<std::string> profiles{"ups"};
  std::map<std::string, std::string> addresses;  // name -> address
  std::vector<std::string> sent;

  std::unique_ptr<MapiLibrary> load() override {
    return installed ? std::make_unique<Library>(*this) : nullptr;
  }

 private:
  struct Library final : MapiLibrary {
    explicit Library(FakeSimpleMapi& fake) : fake(fake) {}
    bool logon(const char* profile, bool) override {
      return std::count(fake.profiles.begin(), fake.profiles.end(), profile ? profile : "") > 0;
    }
    bool resolveName(const char* name, MapiRecipient* out) override {
      const auto it = fake.addresses.find(name);
      if (it != fake.addresses.end()) *out = {name, it->second, {1}};
      return it != fake.addresses.end();
    }
    bool sendMail(const std::vector<MapiRecipient>& to, const char* subject,
                  const char* body) override {
      std::string line;
      for (const MapiRecipient& r : to) line += (line.empty() ? "" : ",") + r.address;
      fake.sent.push_back(line + "|" + subject + "|" + body);
      return true;
    }
    void logoff() override {}
    FakeSimpleMapi& fake;
  };
};

}  // namespace orvik
