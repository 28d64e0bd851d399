#include "platform/posix_backends.h"

namespace orvik {
namespace {

// POSIX systems have no Simple MAPI client: every send fails.
class NoSimpleMapi final : public SimpleMapi {
 public:
  std::unique_ptr<MapiLibrary> load() override { return nullptr; }
};

}  // namespace

SimpleMapi& posixSimpleMapi() {
  static NoSimpleMapi mapi;
  return mapi;
}

}  // namespace orvik
