#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <random>
#include <string>

#include "cgi/kestrel_test_support.h"

namespace orvik {
namespace {

unsigned seedFromClock() {
  return static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// A whole page, or the metrics text that one page number answers with.
bool wellFormed(const std::string& response) {
  if (response.rfind("Content-type: text/plain", 0) == 0) {
    return has(response, "\n\n# HELP ") && response.back() == '\n';
  }
  return response.rfind("Content-type: text/html\n\n<HTML>", 0) == 0 && response.size() >= 14 &&
         response.compare(response.size() - 14, 14, "</BODY></HTML>") == 0;
}

// Texts made of what the decoder and the pages treat specially.
std::string randomText(std::mt19937& random, std::size_t maxLength) {
  static const char kAlphabet[] = "%%%&&==++page=val=item=1234567890aFzZ\x80\xff<>\"' \r\n";
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);  // NUL included
  std::string text(length(random), '\0');
  for (char& c : text) c = kAlphabet[pick(random)];
  return text;
}

class KestrelFuzz : public KestrelTest {};

// A record of random bytes stands for whatever a foreign or damaged block
// holds: every page number renders a whole page from it, without reading
// outside the record or the files (the sanitizer builds check that).
TEST_F(KestrelFuzz, EveryPageRendersFromARecordOfRandomBytes) {
  const unsigned seed = seedFromClock();
  std::cout << "random records from seed " << seed << "\n";
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 300; ++round) {
    auto* bytes = reinterpret_cast<unsigned char*>(&record());
    for (std::size_t i = 0; i < kRecordSize; ++i)
      bytes[i] = static_cast<unsigned char>(byte(random));
    writeFile("kestrel.log", randomText(random, 3000));
    writeFile("kestrel.dat", randomText(random, 3000));
    writeFile("link.cfg", randomText(random, 600));
    writeFile("defaults.aut", randomText(random, 300));
    writeFile("snmpd.conf", randomText(random, 600));
    for (int page = 0; page <= 201; page = page == 100 ? 199 : page + 1) {
      const std::string query = "page=" + std::to_string(page) +
                                "&item=" + std::to_string(static_cast<int>(random() % 200) - 50);
      const std::string response = get(query);
      ASSERT_TRUE(wellFormed(response)) << "round " << round << ", " << query;
    }
  }
}

// Random queries and bodies through the decoder and the pages.
TEST_F(KestrelFuzz, RandomRequestsAnswerWithAPageOrStatusOne) {
  const unsigned seed = seedFromClock();
  std::cout << "random requests from seed " << seed << "\n";
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const char* methods[] = {"GET", "POST", "HEAD", "PUT", nullptr};
  for (int i = 0; i < 20000; ++i) {
    const char* method = methods[random() % 5];
    const std::string query = randomText(random, 80);
    const std::string body = randomText(random, 200);
    // Now and then a length that does not match the body.
    const std::string length =
        std::to_string(static_cast<int>(body.size()) - 2 + static_cast<int>(random() % 4));
    const bool exact = random() % 2 == 0;
    int status = -1;
    const std::string response =
        run(method, query, &body, exact ? nullptr : length.c_str(), &status);
    if (status == 1) {
      ASSERT_TRUE(response.empty());
      ASSERT_TRUE(method != nullptr && std::strcmp(method, "POST") == 0) << query;
    } else {
      ASSERT_EQ(status, 0);
      ASSERT_TRUE(wellFormed(response)) << query;
    }
  }
}

}  // namespace
}  // namespace orvik
