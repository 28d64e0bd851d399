#include "service/actions/mail_action.h"

#include <algorithm>
#include <vector>

#include "service/actions/message_catalogue.h"
#include "shared/record_access.h"

namespace orvik {

namespace {
// osVersionClass of NT 3.x; below it the 9x family.
constexpr int kNt3Class = 256;
}  // namespace

int mapiSend(SimpleMapi& mapi, int osVersionClass, const char* recipients, const char* text) {
  Text list(recipients);
  if (list.length() == 0) return 1;
  const std::unique_ptr<MapiLibrary> library = mapi.load();
  if (!library) return 0;
  // The 9x family offers no default profile worth a second try.
  if (!library->logon("ups", true) &&
      (osVersionClass < kNt3Class || !library->logon(nullptr, false))) {
    return 0;
  }
  std::vector<MapiRecipient> to;
  Text name;
  for (int left = countChar(list.chars(), ';'); left > 0; --left) {
    takeToken(list, name, ';');
    MapiRecipient resolved;
    if (library->resolveName(name.chars(), &resolved)) to.push_back(std::move(resolved));
  }
  const bool sent = library->sendMail(to, kMailSubject, text ? text : "");
  library->logoff();
  return sent ? 1 : 0;
}

MailAction::MailAction(StatusRecord& record, SystemInfo& system, const MailSetup& setup,
                       DiagnosticSink out, DiagnosticSink err)
    : record_(record),
      mapi_(*setup.mapi),
      osVersionClass_(setup.osVersionClass),
      smtp_(*setup.sockets, system, setup.dataLogPath, std::move(out), std::move(err)) {}

void MailAction::runAction(EventAction& entry, const ActionItem&) {
  const std::string computerName = readText(record_.computerName);
  const int down = std::max(0, static_cast<int>(loadField(record_.powerFailCountdown)));
  const Text text = expandMessage(readText(entry.mailMessage).c_str(), computerName.c_str(), down);
  Text users(readText(entry.mailUsers));
  if (users.length() == 0) return;
  terminateList(users);
  sendMail(users.chars(), text.chars());
}

int MailAction::sendMail(const char* recipients, const char* text) {
  if (osVersionClass_ > kNt3Class) return smtp_.smtpSend(recipients, text);
  return mapiSend(mapi_, osVersionClass_, recipients, text);
}

}  // namespace orvik
