#include "platform/platform_ini.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace orvik {
namespace {

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

PlatformIni PlatformIni::load(const std::string& path) {
  std::ifstream in(path);
  if (!in) return PlatformIni{};
  std::ostringstream text;
  text << in.rdbuf();
  return fromText(text.str());
}

PlatformIni PlatformIni::fromText(const std::string& text) {
  PlatformIni ini;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string content = trimmed(line);
    if (content.empty() || content[0] == '#' || content[0] == ';') continue;
    const auto equals = content.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = upper(trimmed(content.substr(0, equals)));
    if (name.empty()) continue;
    ini.values_[name] = trimmed(content.substr(equals + 1));
  }
  return ini;
}

std::string PlatformIni::get(const std::string& name, const std::string& fallback) const {
  const auto it = values_.find(upper(name));
  return it == values_.end() ? fallback : it->second;
}

}  // namespace orvik
