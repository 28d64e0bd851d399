// The few user-visible windows the programs need. Message boxes on POSIX are
// a line on standard error, since a service has nobody to click OK.
#pragma once

namespace orvik {

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Shows a modal box with an OK button and the exclamation icon; returns
  // when it is dismissed.
  virtual void messageBox(const char* caption, const char* text) = 0;
};

}  // namespace orvik
