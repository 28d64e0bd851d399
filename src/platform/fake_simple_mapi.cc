#include "platform/fake_simple_mapi.h"

#include <algorithm>

namespace orvik {
namespace {

class FakeMapiLibrary final : public MapiLibrary {
 public:
  explicit FakeMapiLibrary(FakeSimpleMapi& mapi) : mapi_(mapi) { mapi_.calls.push_back("load"); }
  ~FakeMapiLibrary() override { mapi_.calls.push_back("release"); }

  bool logon(const char* profile, bool newSession) override {
    const std::string name = profile ? profile : "";
    mapi_.calls.push_back("logon " + (profile ? name : "-") + (newSession ? " new" : " shared"));
    return std::find(mapi_.profiles.begin(), mapi_.profiles.end(), name) != mapi_.profiles.end();
  }

  bool resolveName(const char* name, MapiRecipient* out) override {
    mapi_.calls.push_back(std::string("resolve ") + name);
    const auto it = mapi_.addresses.find(name);
    if (it == mapi_.addresses.end()) return false;
    *out = {name, it->second, {1, 2, 3}};
    return true;
  }

  bool sendMail(const std::vector<MapiRecipient>& to, const char* subject,
                const char* body) override {
    std::string line = "send ";
    for (const MapiRecipient& r : to) line += (&r == &to.front() ? "" : ",") + r.address;
    mapi_.calls.push_back(line + "|" + subject + "|" + body);
    return true;
  }

  void logoff() override { mapi_.calls.push_back("logoff"); }

 private:
  FakeSimpleMapi& mapi_;
};

}  // namespace

std::unique_ptr<MapiLibrary> FakeSimpleMapi::load() {
  if (!installed) return nullptr;
  return std::make_unique<FakeMapiLibrary>(*this);
}

}  // namespace orvik
