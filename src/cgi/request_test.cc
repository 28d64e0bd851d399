#include <gtest/gtest.h>

#include <string>

#include "cgi/form_decoder.h"
#include "cgi/kestrel_test_support.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

std::string show(const PairList& pairs) {
  std::string out;
  for (const FormPair& pair : pairs) out += "[" + pair.name + "|" + pair.value + "]";
  return out;
}

TEST(FormDecoder, DecodesAsTheFormDecoderAlwaysHas) {
  struct Case {
    std::string text;
    std::string pairs;
  } cases[] = {
      {"idName=a+b%21", "[idName|a b!]"},
      {"a=%2B+", "[a|+ ]"},  // "+" is a blank before percent decoding
      {"a=1&&b=2&", "[a|1][b|2]"},
      {"&&&", ""},
      {"", ""},
      {"flag&x=", "[flag|][x|]"},
      {"a=b=c", "[a|b=c]"},
      {"%41%62=%7e%7E", "[Ab|~~]"},
      {"a=%4", "[a|%4]"},  // "%" second to last: kept as it stands
      {"a=x%", "[a|x%]"},  // "%" last
      {"%=%%", "[%|%%]"},
      {"a=%zz", "[a|S]"},             // not checked for hex digits: 16 * 35 + 35, cut to 8 bits
      {"a=x%00y&b=2", "[a|x][b|2]"},  // a decoded NUL ends the value
      {"na%6De=v", "[name|v]"},
  };
  for (const Case& c : cases) EXPECT_EQ(show(decodeForm(c.text)), c.pairs) << c.text;
}

class Dispatch : public KestrelTest {};

// Which page answered: each of these carries a mark no other page has.
std::string pageOf(const std::string& response) {
  if (has(response, "<H1>Demo CGI</H1>")) return "0";
  if (has(response, "Identification  Information")) return "11";
  if (has(response, "<font class=\"link\">Configuration Information</font>")) return "12";
  if (has(response, "content=5>")) return "13";
  if (has(response, "<font class=\"itemTitle\">Event Log</font>")) return "41";
  if (has(response, "<font class=\"itemTitle\">Data Log</font>")) return "42";
  if (has(response, "name=\"EvtFileLen\"")) return "44";
  return "none";
}

TEST_F(Dispatch, QueryChoosesThePage) {
  struct Case {
    const char* method;
    const char* query;
    const char* page;
  } cases[] = {
      {"GET", "page=13&page=11", "11"},  // the last "page" wins
      {"GET", "page=11&page=13", "13"},
      {"GET", "page=abc", "0"},
      {"GET", "page=", "0"},
      {"GET", "page", "0"},  // a piece without "=": page with an empty value
      {"GET", "", "11"},
      {"GET", "page=12x", "12"},
      {"GET", "page=%34%31", "41"},
      {"HEAD", "page=42", "42"},
      {"POST", "page=41", "41"},  // the body says page=13
      {"POST", "", "11"},
      {nullptr, "page=13", "11"},  // no method: no pairs, the default page
      {"PUT", "page=13", "11"},
      {"get", "page=13", "11"},
  };
  const std::string body = "page=13&val=2";
  for (const Case& c : cases) {
    const bool isPost = c.method != nullptr && std::string(c.method) == "POST";
    int status = -1;
    const std::string response = run(c.method, c.query, isPost ? &body : nullptr, nullptr, &status);
    EXPECT_EQ(pageOf(response), c.page) << (c.method ? c.method : "(none)") << " " << c.query;
    EXPECT_EQ(status, 0);
  }
  for (const char* query : {"", "page=12", "page=13", "page=41", "page=44", "page=0"}) {
    EXPECT_EQ(run("HEAD", query), run("GET", query)) << "HEAD answers as GET: " << query;
  }
}

TEST_F(Dispatch, UnknownPagesShowTheEnvelopeWithAnEmptyBody) {
  const std::string empty =
      "Content-type: text/html\n\n<HTML>\n<HEAD>\n\n<TITLE>Kelvane Device Manager</TITLE>"
      "\n<link href=\"/en/orvikpw.css\" rel=stylesheet>\n\n</HEAD>\n<BODY></BODY></HTML>";
  for (const char* query : {"page=14", "page=7", "page=-1", "page=25", "page=63", "page=65536"}) {
    EXPECT_EQ(get(query), empty) << query;
  }
}

// A scraper's page: the record as metrics text, with no page envelope.
TEST_F(Dispatch, MetricsPageAnswersWithTheMetricsTextOfTheLiveRecord) {
  setFlagBit(record().alarmFlags, kServiceRunningBit, true);
  setFlagBit(record().alarmFlags, 1, true);
  const std::string response = get("page=71");
  EXPECT_EQ(response.rfind("Content-type: text/plain; version=0.0.4; charset=utf-8\n\n", 0), 0u)
      << response;
  EXPECT_TRUE(has(response, "\norvik_service_up 1\n")) << response;
  EXPECT_FALSE(has(response, "<HTML>"));
  service_.reset();  // the service ends: its record is no longer shown
  EXPECT_TRUE(has(get("page=71"), "\norvik_service_up 0\n"));
}

TEST_F(Dispatch, UnreadablePostBodyEndsWithStatusOneAndNoOutput) {
  struct Case {
    const char* contentLength;
    std::string body;
  } cases[] = {
      {kUnset, "EvtFileLen=5000&EvtApply=Apply"},
      {"", "x=1"},
      {"abc", "x=1"},
      {"0", ""},
      {"-5", "x=1"},
      {"12abc", "x=1&y=2&z=3"},
      {"20", "x=1"},  // shorter than announced
      {"1048577", std::string(1048577, 'a')},
      {"99999999999999999999", "x=1"},
  };
  for (const Case& c : cases) {
    int status = -1;
    const std::string response = run("POST", "page=44", &c.body, c.contentLength, &status);
    EXPECT_EQ(status, 1) << c.contentLength;
    EXPECT_EQ(response, "") << c.contentLength;
  }
  EXPECT_EQ(loadField(record().EvtFileLen), 0) << "nothing was applied";
  EXPECT_TRUE(sockets_.sent().empty());

  int status = -1;
  const std::string largest(1048576, 'a');
  run("POST", "page=44", &largest, "1048576", &status);
  EXPECT_EQ(status, 0) << "1 MiB is still read";
}

}  // namespace
}  // namespace orvik
