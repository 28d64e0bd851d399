#include <cstdio>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

class PosixUserInterface final : public UserInterface {
 public:
  void messageBox(const char* caption, const char* text) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
  }
};

}  // namespace

UserInterface& posixUserInterface() {
  static PosixUserInterface ui;
  return ui;
}

}  // namespace orvik
