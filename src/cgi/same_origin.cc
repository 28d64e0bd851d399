#include "cgi/same_origin.h"

#include <string>
#include <string_view>

namespace orvik {
namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// host:port of an authority ("user@host:port", "[::1]:8080"), the port
// filled in from the scheme's default when missing.
std::string siteOf(std::string_view authority, std::string_view scheme) {
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  const std::size_t close = authority.rfind(']');
  const std::size_t colon = authority.rfind(':');
  const bool hasPort =
      colon != std::string_view::npos && (close == std::string_view::npos || colon > close);
  const std::string host = lower(authority.substr(0, hasPort ? colon : authority.size()));
  if (host.empty()) return "";
  const std::string port =
      hasPort ? std::string(authority.substr(colon + 1)) : (scheme == "https" ? "443" : "80");
  return host + ":" + port;
}

// The site an Origin or Referer URL names; "" for none.
std::string siteOfUrl(std::string_view url, std::string* scheme) {
  const std::size_t separator = url.find("://");
  if (separator == std::string_view::npos) return "";
  *scheme = lower(url.substr(0, separator));
  url.remove_prefix(separator + 3);
  return siteOf(url.substr(0, url.find_first_of("/?#")), *scheme);
}

}  // namespace

bool fromAnotherSite(const GetVariable& variable) {
  const char* origin = variable("HTTP_ORIGIN");
  const char* url = origin != nullptr ? origin : variable("HTTP_REFERER");
  if (url == nullptr) return false;
  std::string scheme;
  const std::string site = siteOfUrl(url, &scheme);
  const char* host = variable("HTTP_HOST");
  if (site.empty() || host == nullptr) return true;
  return siteOf(host, scheme) != site;
}

}  // namespace orvik
