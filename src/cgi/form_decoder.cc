#include "cgi/form_decoder.h"

namespace orvik {
namespace {

// The digit value the decoder gives any character: c - '0' below 'A',
// otherwise the upper-cased letter's distance from 'A' plus 10. Plain chars
// are signed here as on the compilers the pages were first built with, so
// bytes above 0x7F decode as they always have.
int digitValue(char c) {
  const int v = static_cast<signed char>(c);
  return v < 'A' ? v - '0' : (v & ~0x20) - 'A' + 10;
}

std::string percentDecode(std::string_view text, bool* cut = nullptr) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out.push_back(
          static_cast<char>((16 * digitValue(text[i + 1]) + digitValue(text[i + 2])) & 0xFF));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  // Names and values are C strings to everything that reads them.
  const std::size_t nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  if (cut != nullptr) *cut = nul != std::string::npos;
  return out;
}

}  // namespace

PairList decodeForm(std::string_view text) {
  std::string copy(text);
  for (char& c : copy) {
    if (c == '+') c = ' ';
  }
  PairList pairs;
  std::string_view rest(copy);
  while (!rest.empty()) {
    const std::size_t amp = rest.find('&');
    const std::string_view piece = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    if (piece.empty()) continue;
    const std::size_t eq = piece.find('=');
    if (eq == std::string_view::npos) {
      pairs.push_back({percentDecode(piece), std::string()});
    } else {
      FormPair pair;
      pair.name = percentDecode(piece.substr(0, eq));
      pair.value = percentDecode(piece.substr(eq + 1), &pair.valueCut);
      pairs.push_back(std::move(pair));
    }
  }
  return pairs;
}

const std::string* firstValue(const PairList& pairs, std::string_view name) {
  for (const FormPair& pair : pairs) {
    if (pair.name == name) return &pair.value;
  }
  return nullptr;
}

const std::string* lastValue(const PairList& pairs, std::string_view name) {
  for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
    if (it->name == name) return &it->value;
  }
  return nullptr;
}

}  // namespace orvik
