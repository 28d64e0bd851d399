#include "service/actions/mail_action.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "platform/fake_platform.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

class MailActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_);
    sockets_.setTcpServer(&server_);
    system_.hostNameValue = "upsbox";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A server of the test's own for one mail; its script comes from setup.
  int mailTo(const char* users, std::function<void(ScriptedTcpServer&)> setup,
             ScriptedTcpServer* server) {
    sockets_.setTcpServer(server);
    setup(*server);
    return mail_.sendMail(users, "Power failure");
  }
  // Greeting, HELO, MAIL, n RCPT, DATA, message and QUIT all taken.
  static void acceptAll(ScriptedTcpServer& server, int recipients) {
    for (const char* reply : {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n"}) server.reply(reply);
    for (int i = 0; i < recipients; ++i) server.reply("250 ok\r\n");
    for (const char* reply : {"354 go\r\n", "250 queued\r\n", "221 bye\r\n"}) server.reply(reply);
  }

  fs::path dir_ =
      fs::temp_directory_path() / ("orvik_mail_" + std::to_string(std::random_device()()));
  FakeClock clock_;
  FakeSockets sockets_;
  ScriptedTcpServer server_{clock_};
  FakeSystemInfo system_;
  FakeSimpleMapi mapi_;
  std::unique_ptr<StatusRecord> record_ = std::make_unique<StatusRecord>();
  std::string out_, err_;
  MailAction mail_{*record_,
                   system_,
                   {&sockets_, &mapi_, (dir_ / "kestrel.dat").string(), 1024},
                   [this](const char* line) { out_ += line; },
                   [this](const char* line) { err_ += line; }};
};

TEST_F(MailActionTest, MailGoesToEachRecipientWithHeadersAndDotStuffedTextButNeverWithALineBreak) {
  setText(record_->computerName, "UPSPC");
  storeField(record_->powerFailCountdown, 75);
  EventAction& power = record_->eventActionsEven[1];
  setText(power.mailUsers, " ops@example.test ; ;  boss@example.test");
  setText(power.mailMessage, "Power failure at #HOSTNAME#\n.\n.hidden\r\n#DOWNTIME# left");
  acceptAll(server_, 2);
  mail_.runAction(power, {});
  EXPECT_EQ(server_.received,
            "HELO upsbox\r\n"
            "MAIL FROM:<>\r\n"
            "RCPT TO:<ops@example.test>\r\n"
            "RCPT TO:<boss@example.test>\r\n"
            "DATA\r\n"
            "To:  ops@example.test ; ;  boss@example.test;\r\n"
            "From: UPS@upsbox\r\n"
            "Subject: Ups Message\r\n\r\n"
            "Power failure at UPSPC\r\n..\r\n..hidden\r\n1:15 left\r\n"
            "\r\n.\r\n"
            "QUIT\r\n");
  EXPECT_EQ(server_.connectedTo.address, kLoopbackIpv4);
  EXPECT_EQ(server_.connectedTo.port, 25);
  EXPECT_EQ(server_.closed, 1);
  EXPECT_EQ(out_, "Connecting to SMTP Server at 127.0.0.1.\nConnection Made to SMTP Server.\n");
  EXPECT_EQ(err_, "");

  setText(power.mailUsers, "");
  mail_.runAction(power, {});
  // A line break would start a command of its own: such a list is refused.
  for (const char* users : {"a@x>\r\nRSET\r\nRCPT TO:<b@y;", "a@x;\nb@y;", "a@x\r;"}) {
    EXPECT_EQ(mail_.sendMail(users, "text"), 0) << users;
  }
  EXPECT_EQ(server_.connections, 1) << "no recipients or a line break, no connection";
}

// Each row: the server's replies, the result, and the last command it got.
TEST_F(MailActionTest, RepliesAbove400EndTheDialogueAtTheirStepAnythingLowerPasses) {
  struct Row {
    std::vector<std::string> replies;
    int result;
    std::string lastCommand;
  };
  const std::vector<Row> rows = {
      {{"421 busy\r\n"}, 421, ""},
      {{"220\r\n", "400 hm\r\n", "550 no\r\n"}, 550, "MAIL FROM:<>\r\n"},
      {{"220\r\n", "250\r\n", "250\r\n", "401\r\n"}, 401, "RCPT TO:<a@x>\r\n"},
      {{"220\r\n", "250\r\n", "250\r\n", "250\r\n", "554 no\r\n"}, 554, "DATA\r\n"},
      {{"220\r\n", "250\r\n", "250\r\n", "250\r\n", "354\r\n", "452 full\r\n"}, 452, "\r\n.\r\n"},
      // Garbage reads as 0, a reply without CRLF as its number, blanks lead.
      {{"  220 hi", "garbage", "\x01\xff", "0", "   354", "250 ok", "999"}, 999, "QUIT\r\n"},
      {{"220\r\n", "250\r\n", "250\r\n", "250\r\n", "354\r\n", "250\r\n", "221\r\n"},
       1,
       "QUIT\r\n"},
  };
  for (const Row& row : rows) {
    ScriptedTcpServer server(clock_);
    EXPECT_EQ(mailTo(
                  "a@x;",
                  [&](auto& s) {
                    for (auto& r : row.replies) s.reply(r);
                  },
                  &server),
              row.result);
    EXPECT_TRUE(server.received.ends_with(row.lastCommand)) << server.received;
    EXPECT_EQ(server.received.empty(), row.lastCommand.empty()) << row.result;
    EXPECT_EQ(server.closed, 1);
  }
}

TEST_F(MailActionTest, DeadOrHostileServerEndsTheMailWithinItsLimits) {
  struct Row {
    const char* what;
    std::function<void(ScriptedTcpServer&)> setup;
    int result;
    int64_t fakeMs;
    std::string sent;
  };
  const std::vector<Row> rows = {
      {"no greeting", [](auto& s) { s.silence(); }, 777, 12'000, ""},
      {"greeting after 11.9 s, then silence", [](auto& s) { s.reply("220\r\n", 11'900); }, 777,
       23'900, "HELO upsbox\r\n"},
      {"greeting after 12.1 s", [](auto& s) { s.reply("220\r\n", 12'100); }, 777, 12'000, ""},
      {"hangs up after HELO",
       [](auto& s) {
         s.reply("220\r\n");
         s.hangUp();
       },
       777, 0, "HELO upsbox\r\n"},
      {"never reads",
       [](auto& s) {
         s.reply("220\r\n");
         s.neverReads = true;
       },
       kSmtpSendFailed, 12'000, ""},
      {"connect hangs", [](auto& s) { s.connectHangs = true; }, 0, 12'000, ""},
      // 2000 bytes in one line: four receives of it, then the silence ends it.
      {"one endless line", [](auto& s) { s.reply("250" + std::string(1997, 'x')); }, 777, 12'000,
       "HELO upsbox\r\nMAIL FROM:<>\r\nRCPT TO:<a@x>\r\nDATA\r\n"},
  };
  for (const Row& row : rows) {
    ScriptedTcpServer server(clock_);
    const int64_t start = clock_.monotonicMs();
    EXPECT_EQ(mailTo("a@x;", row.setup, &server), row.result) << row.what;
    EXPECT_EQ(clock_.monotonicMs() - start, row.fakeMs) << row.what;
    EXPECT_EQ(server.received, row.sent) << row.what;
    EXPECT_EQ(server.closed, server.connections) << row.what;
  }
  EXPECT_EQ(err_, "ERROR: failed to open SMTP Connection, errno=110\n");
}

TEST_F(MailActionTest, ServerIsTheFirstLineOfSmtpIniBesideTheDataLogAsADottedAddressOnly) {
  struct Row {
    const char* file;  // null: none
    std::string server;
    uint32_t address;  // 0: refused without a connection
  };
  const std::vector<Row> rows = {
      {nullptr, "127.0.0.1", kLoopbackIpv4},
      {"  10.1.2.3  \r\n192.168.0.1\r\n", "10.1.2.3", 0x0A010203},
      {"mail.example.test\n", "mail.example.test", 0},
  };
  for (const Row& row : rows) {
    if (row.file) std::ofstream(dir_ / "smtp.ini", std::ios::binary) << row.file;
    ScriptedTcpServer server(clock_);
    out_ = err_ = "";
    mailTo(
        "a@x;", [](auto& s) { acceptAll(s, 1); }, &server);
    EXPECT_TRUE(out_.starts_with("Connecting to SMTP Server at " + row.server + ".\n")) << out_;
    EXPECT_EQ(server.connectedTo.address, row.address) << row.server;
    EXPECT_EQ(err_, row.address ? "" : "ERROR: failed to open SMTP Connection, errno=99\n");
  }
  EXPECT_EQ(smtpIniPath("C:\\ups\\kestrel.dat"), "C:\\ups\\smtp.ini");
  EXPECT_EQ(smtpIniPath("kestrel.dat"), "smtp.ini");
  sockets_.failOpens(1);
  err_ = "";
  EXPECT_EQ(mail_.sendMail("a@x;", "text"), 0);
  EXPECT_EQ(err_, "ERROR: failed to open Socket, errno = 24.\n");
}

// Windows 95 takes no second logon; NT 3.x logs on without a profile.
TEST_F(MailActionTest, OlderWindowsMailThroughSimpleMapiToTheResolvedNamesOnly) {
  mapi_.profiles = {""};
  mapi_.addresses = {{"ops", "SMTP:ops@example.test"}};
  for (const auto& [osClass, result] : {std::pair{1, 0}, {256, 1}, {512, 777}}) {
    MailAction mail(
        *record_, system_, {&sockets_, &mapi_, "kestrel.dat", osClass}, [](const char*) {},
        [](const char*) {});
    EXPECT_EQ(mail.sendMail("ops; nobody ;", "Power failure"), result) << osClass;
  }
  EXPECT_EQ(mapi_.sent,
            std::vector<std::string>{"SMTP:ops@example.test|Ups Message|Power failure"});
  mapi_.installed = false;
  EXPECT_EQ(mapiSend(mapi_, 256, "ops;", "x"), 0);
  EXPECT_EQ(mapiSend(mapi_, 256, "", "x"), 1);
}

}  // namespace
}  // namespace orvik
