#include "service/actions/page_action.h"

#include "service/actions/text.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

// Every answer is read up to a NUL byte, which a sane modem never sends, so
// reads end on silence or on a full buffer.
constexpr int kAnswerTerminator = 0;
constexpr int kAnswerMaxLength = 79;

// Hayes dial modifiers are ASCII; bytes above it are left as they are
// rather than depend on the locale.
char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void drainAnswer(ModemLine& modem, int timeoutMs) {
  char answer[kAnswerMaxLength + 1];
  int count = 0;
  modem.readReply(answer, &count, kAnswerTerminator, kAnswerMaxLength, timeoutMs);
}

}  // namespace

int pageUser(ModemLine& modem, Clock& clock, int portIndex, const char* entry,
             const char* message) {
  if (entry == nullptr || message == nullptr || entry[0] == '\0' || message[0] == '\0') return 1;
  Text dialLine(entry);
  dialLine.append(message);
  dialLine.append('\r');
  if (modem.openPort(portIndex) != 0) return 0;

  modem.writeBytes("ATZ\r", 4);
  clock.sleepMs(500);
  drainAnswer(modem, 300);
  clock.sleepMs(2000);

  Text upper;
  for (int i = 0; i < dialLine.length(); ++i) upper.append(upperAscii(dialLine.at(i)));
  modem.writeBytes(upper.chars(), upper.length());
  // A ";" is a dial modifier the pager service needs time for (a pause, or
  // the return to command mode after the digits): 2 s more for each.
  clock.sleepMs((6 + int64_t{countChar(upper.chars(), ';')}) * 2000);
  drainAnswer(modem, 300);
  clock.sleepMs(4000);

  modem.writeBytes("+++\r", 4);
  clock.sleepMs(500);
  drainAnswer(modem, 300);
  clock.sleepMs(1000);

  modem.writeBytes("ATH0\r", 5);
  drainAnswer(modem, 400);
  clock.sleepMs(1000);

  modem.closePort();
  return 1;
}

void PageAction::runAction(EventAction& entry, const ActionItem& /*item*/) {
  const std::string message = readText(entry.pageMessage);
  Text users(readText(entry.pageUsers));
  if (users.length() == 0) return;
  // Read once: the pages may change the port while the calls run.
  const int portIndex = loadField(record_.pageport);
  terminateList(users);
  Text user;
  while (takeToken(users, user, ';') == 0) {
    pageUser(modem_, clock_, portIndex, user.chars(), message.c_str());
  }
}

}  // namespace orvik
