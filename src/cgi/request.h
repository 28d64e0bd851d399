// One CGI request as the pages see it: the method code, the query and form
// pairs, and the page and "val" numbers chosen by the query.
#pragma once

#include <cstddef>
#include <functional>

#include "cgi/form_decoder.h"

namespace orvik {

inline constexpr int kMethodGet = 0;  // "GET" and "HEAD"
inline constexpr int kMethodPost = 1;
inline constexpr int kMethodOther = -1;
inline constexpr int kDefaultPage = 11;
// No form of the pages comes near this; a larger body is refused unread.
inline constexpr std::size_t kMaxBodyLength = std::size_t{1} << 20;

struct Request {
  int method = kMethodOther;
  PairList query;  // from QUERY_STRING
  PairList form;   // from the body, POST only
  int page = kDefaultPage;
  int val = 0;
};

// The CGI environment: a variable's value, or null when it is not set.
using GetVariable = std::function<const char*(const char* name)>;
// Reads at most size body bytes into buffer; how many came, 0 at the end.
using ReadBody = std::function<std::size_t(char* buffer, std::size_t size)>;

// 0 for "GET" and "HEAD", 1 for "POST", -1 for anything else or null;
// exact and case-sensitive.
int methodCode(const char* method);

// Decodes the request. False when a POST's body cannot be had: its
// CONTENT_LENGTH is missing, not all digits, 0 or above kMaxBodyLength, or
// the body ends short of it; the program must then end with status 1 and no
// output. Any other method has no pairs and shows the default page.
bool readRequest(const GetVariable& variable, const ReadBody& readBody, Request* out);

}  // namespace orvik
