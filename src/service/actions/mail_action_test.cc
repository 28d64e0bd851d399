#include "service/actions/mail_action.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    setText(record_->computerName, "UPSPC");
    storeField(record_->powerFailCountdown, 75);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int send(const char* users, const char* text = "Power failure") {
    return mail_.sendMail(users, text);
  }
  // A server that takes everything: greeting, HELO, MAIL, n RCPT, DATA, message, QUIT.
  void acceptAll(int recipients) {
    for (const char* code : {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n"}) server_.reply(code);
    for (int i = 0; i < recipients; ++i) server_.reply("250 ok\r\n");
    for (const char* code : {"354 go\r\n", "250 queued\r\n", "221 bye\r\n"}) server_.reply(code);
  }

  fs::path dir_ = fs::temp_directory_path() / ("orvik_mail_" + std::to_string(std::random_device()()));
  FakeClock clock_;
  FakeSockets sockets_;
  ScriptedTcpServer server_{clock_};
  FakeSystemInfo system_;
  FakeSimpleMapi mapi_;
  std::unique_ptr<StatusRecord> record_ = std::make_unique<StatusRecord>();
  std::string out_, err_;
  MailAction mail_{*record_, system_, {&sockets_, &mapi_, (dir_ / "kestrel.dat").string(), 1024},
                   [this](const char* line) { out_ += line; },
                   [this](const char* line) { err_ += line; }};
};

TEST_F(MailActionTest, PowerFailureMailsBothRecipientsWithHeadersAndTheDotStuffedText) {
  EventAction& power = record_->eventActionsEven[1];
  setText(power.mailUsers, " ops@example.test ; ;  boss@example.test");
  setText(power.mailMessage, "Power failure at #HOSTNAME#\n.\n.hidden\r\n#DOWNTIME# left");
  acceptAll(2);
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
  EXPECT_EQ(server_.connections, 1) << "no recipients, no mail";
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
      // Garbage reads as 0, a reply without CRLF as its number, blanks lead.
      {{"  220 hi", "garbage", "\x01\xff", "0", "   354", "250 ok", "999"}, 999, "QUIT\r\n"},
      {{"220\r\n", "250\r\n", "250\r\n", "250\r\n", "354\r\n", "250\r\n", "221\r\n"}, 1, "QUIT\r\n"},
  };
  for (const Row& row : rows) {
    ScriptedTcpServer server(clock_);
    sockets_.setTcpServer(&server);
    for (const std::string& reply : row.replies) server.reply(reply);
    EXPECT_EQ(send("a@x;"), row.result) << row.replies.back();
    const std::string& got = server.received;
    const size_t lastLine = got.empty() ? 0 : got.rfind("\r\n", got.size() - 3);
    EXPECT_EQ(lastLine == std::string::npos ? got : got.substr(got.empty() ? 0 : lastLine + 2),
              row.lastCommand);
    EXPECT_EQ(server.closed, 1);
  }
}

TEST_F(MailActionTest, DeadOrHostileServerEndsTheMailWithinItsLimits) {
  using Setup = std::function<void(ScriptedTcpServer&)>;
  struct Row {
    const char* what;
    Setup setup;
    int result;
    int64_t fakeMs;
    std::string sent;
  };
  const std::vector<Row> rows = {
      {"no greeting", [](auto& s) { s.silence(); }, 777, 12'000, ""},
      {"greeting after 11.9 s, then silence", [](auto& s) { s.reply("220\r\n", 11'900); }, 777,
       23'900, "HELO upsbox\r\n"},
      {"greeting after 12.1 s", [](auto& s) { s.reply("220\r\n", 12'100); }, 777, 12'000, ""},
      {"hangs up after HELO", [](auto& s) { s.reply("220\r\n"); s.hangUp(); }, 777, 0,
       "HELO upsbox\r\n"},
      {"never reads", [](auto& s) { s.reply("220\r\n"); s.neverReads = true; }, kSmtpSendFailed,
       12'000, ""},
      {"connect hangs", [](auto& s) { s.onConnect = ScriptedTcpServer::OnConnect::kHang; }, 0,
       12'000, ""},
      // 2000 bytes in one line: four receives of it, then the silence ends it.
      {"one endless line", [](auto& s) { s.reply("250" + std::string(1997, 'x')); }, 777, 12'000,
       "HELO upsbox\r\nMAIL FROM:<>\r\nRCPT TO:<a@x>\r\nDATA\r\n"},
  };
  for (const Row& row : rows) {
    ScriptedTcpServer server(clock_);
    sockets_.setTcpServer(&server);
    row.setup(server);
    const int64_t start = clock_.monotonicMs();
    EXPECT_EQ(send("a@x;"), row.result) << row.what;
    EXPECT_EQ(clock_.monotonicMs() - start, row.fakeMs) << row.what;
    EXPECT_EQ(server.received, row.sent) << row.what;
    EXPECT_EQ(server.closed, server.connections) << row.what;
  }
  EXPECT_EQ(err_, "ERROR: failed to open SMTP Connection, errno=110\n");
}

TEST_F(MailActionTest, LineBreakInTheRecipientsRefusesTheMailBeforeConnecting) {
  for (const char* users : {"a@x>\r\nRSET\r\nRCPT TO:<b@y;", "a@x;\nb@y;", "a@x\r;"}) {
    EXPECT_EQ(send(users), 0) << users;
  }
  EXPECT_EQ(server_.connections, 0);
  EXPECT_EQ(out_, "");
}

TEST_F(MailActionTest, ServerComesFromTheFirstLineOfSmtpIniBesideTheDataLog) {
  struct Row {
    const char* file;  // null: none
    std::string out;
    uint32_t address;  // 0: no connection
  };
  const std::vector<Row> rows = {
      {nullptr, "127.0.0.1", kLoopbackIpv4},
      {"  10.1.2.3  \r\n192.168.0.1\r\n", "10.1.2.3", 0x0A010203},
      {"mail.example.test\n", "mail.example.test", 0},
      {"255.255.255.255", "255.255.255.255", 0},
  };
  for (const Row& row : rows) {
    if (row.file) std::ofstream(dir_ / "smtp.ini", std::ios::binary) << row.file;
    ScriptedTcpServer server(clock_);
    sockets_.setTcpServer(&server);
    out_ = err_ = "";
    acceptAll(1);
    send("a@x;");
    EXPECT_EQ(out_.substr(0, out_.find('\n') + 1), "Connecting to SMTP Server at " + row.out + ".\n");
    EXPECT_EQ(server.connectedTo.address, row.address) << row.out;
    EXPECT_EQ(err_, row.address ? "" : "ERROR: failed to open SMTP Connection, errno=99\n");
  }
  EXPECT_EQ(smtpIniPath("C:\\ups\\kestrel.dat"), "C:\\ups\\smtp.ini");
  EXPECT_EQ(smtpIniPath("kestrel.dat"), "smtp.ini");
  sockets_.failOpens(1);
  err_ = "";
  EXPECT_EQ(send("a@x;"), 0);
  EXPECT_EQ(err_, "ERROR: failed to open Socket, errno = 24.\n");
}

TEST_F(MailActionTest, OlderWindowsMailThroughSimpleMapiWithTheResolvedNamesOnly) {
  mapi_.profiles = {""};  // no "ups" profile
  mapi_.addresses = {{"ops", "SMTP:ops@example.test"}};
  struct Row {
    int osClass;
    int result;
    std::vector<std::string> calls;
  };
  const std::vector<Row> rows = {
      {1, 0, {"load", "logon ups new", "release"}},  // Windows 95
      {256, 1, {"load", "logon ups new", "logon - shared", "resolve ops", "resolve nobody",
                "send SMTP:ops@example.test|Ups Message|Power failure", "logoff", "release"}},
      {512, 777, {}},  // NT 4 speaks SMTP: here to a silent server
  };
  for (const Row& row : rows) {
    mapi_.calls.clear();
    MailAction mail(*record_, system_, {&sockets_, &mapi_, "kestrel.dat", row.osClass},
                    [](const char*) {}, [](const char*) {});
    EXPECT_EQ(mail.sendMail("ops; nobody ;", "Power failure"), row.result) << row.osClass;
    EXPECT_EQ(mapi_.calls, row.calls) << row.osClass;
  }
  mapi_.installed = false;
  EXPECT_EQ(mapiSend(mapi_, 256, "ops;", "x"), 0);
  EXPECT_EQ(mapiSend(mapi_, 256, "", "x"), 1);
}

}  // namespace
}  // namespace orvik
