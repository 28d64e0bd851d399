// The three user links every page shows, read from "link.cfg" in the
// service's folder: six lines, host and title of link 1, then of links 2
// and 3.
#pragma once

#include <array>
#include <string>

namespace orvik {

inline constexpr std::size_t kLinkTextLength = 63;

struct UserLinks {
  // host1, title1, host2, title2, host3, title3; each at most 63 characters.
  std::array<std::string, 6> texts;
};

// A missing file, or missing lines, read as empty texts. The line end
// ("\n" or "\r\n") is not part of a text; a longer line is cut to 63.
UserLinks readLinkFile(const std::string& path);

// The file's six lines, each ended by a line feed.
std::string linkFileText(const UserLinks& links);

}  // namespace orvik
