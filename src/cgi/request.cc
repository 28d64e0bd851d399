#include "cgi/request.h"

#include <cstring>
#include <string>

#include "shared/decimal.h"

namespace orvik {
namespace {

// A body length the program will read: all digits, 1 to kMaxBodyLength.
bool parseContentLength(const char* text, std::size_t* length) {
  if (text == nullptr || *text == '\0') return false;
  std::size_t value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + static_cast<std::size_t>(*c - '0');
    if (value > kMaxBodyLength) return false;
  }
  if (value == 0) return false;
  *length = value;
  return true;
}

// A pipe may hand the body over in several pieces.
bool readWholeBody(const ReadBody& readBody, std::size_t length, std::string* body) {
  body->assign(length, '\0');
  std::size_t got = 0;
  while (got < length) {
    const std::size_t n = readBody(body->data() + got, length - got);
    if (n == 0) return false;
    got += n;
  }
  return true;
}

}  // namespace

int methodCode(const char* method) {
  if (method == nullptr) return kMethodOther;
  if (std::strcmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0) return kMethodGet;
  if (std::strcmp(method, "POST") == 0) return kMethodPost;
  return kMethodOther;
}

bool readRequest(const GetVariable& variable, const ReadBody& readBody, Request* out) {
  *out = Request();
  out->method = methodCode(variable("REQUEST_METHOD"));
  if (out->method == kMethodOther) return true;

  const char* query = variable("QUERY_STRING");
  out->query = decodeForm(query == nullptr ? "" : query);
  if (out->method == kMethodPost) {
    std::size_t length = 0;
    std::string body;
    if (!parseContentLength(variable("CONTENT_LENGTH"), &length) ||
        !readWholeBody(readBody, length, &body)) {
      return false;
    }
    // The body is text to the pages: it ends at a NUL, as a C string would.
    out->form = decodeForm(std::string_view(body.c_str()));
  }
  // A "page" or "val" in the body has no say in which page is shown.
  if (const std::string* page = lastValue(out->query, "page")) out->page = parseDecimal(*page);
  if (const std::string* val = lastValue(out->query, "val")) out->val = parseDecimal(*val);
  return true;
}

}  // namespace orvik
