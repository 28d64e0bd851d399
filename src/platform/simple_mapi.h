// The system's Simple MAPI mail client, as the mail action uses it on the
// older Windows versions: the library is loaded for one message and released
// after it. Where there is no such client, nothing loads.
//
// One library object belongs to one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

// A name the mail system resolved, copied out of the mail system's own
// buffer (which the backend frees at once).
struct MapiRecipient {
  std::string name;
  std::string address;
  std::vector<uint8_t> entryId;
};

class MapiLibrary {
 public:
  virtual ~MapiLibrary() = default;  // releases the library

  // Logs on without a window: with a profile, or with none when profile is
  // null; newSession asks for a session of its own. True when logged on.
  virtual bool logon(const char* profile, bool newSession) = 0;
  // True, and the resolved entry in *out, when the mail system knows name.
  virtual bool resolveName(const char* name, MapiRecipient* out) = 0;
  // Sends one message without a window and without attachments, asking for
  // a receipt, to the recipients as primary ones; true when sent.
  virtual bool sendMail(const std::vector<MapiRecipient>& to, const char* subject,
                        const char* body) = 0;
  virtual void logoff() = 0;
};

class SimpleMapi {
 public:
  virtual ~SimpleMapi() = default;
  // The library with all its entry points, the system's error box for a
  // missing file suppressed; null when it or one of them is missing.
  virtual std::unique_ptr<MapiLibrary> load() = 0;
};

}  // namespace orvik
