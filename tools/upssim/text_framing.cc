#include "text_framing.h"

#include <cctype>
#include <climits>

namespace orvik::upssim {

void LineAssembler::feed(std::string_view bytes, int64_t nowMs, std::vector<Line>* out) {
  for (char c : bytes) {
    partial_.raw += c;
    if (c == terminator_) {
      out->push_back(std::move(partial_));
      partial_ = Line{};
      continue;
    }
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) partial_.text += c;
  }
  lastByteMs_ = nowMs;
}

void LineAssembler::idle(int64_t nowMs, std::vector<Line>* out) {
  if (partial_.raw.empty() || nowMs < lastByteMs_ + kCommandSilenceMs) return;
  partial_.bySilence = true;
  out->push_back(std::move(partial_));
  partial_ = Line{};
}

void TextResponder::receive(std::string_view bytes, int64_t nowMs, std::vector<Exchange>* out) {
  std::vector<Line> lines;
  lines_.feed(bytes, nowMs, &lines);
  answerAll(lines, nowMs, out);
}

void TextResponder::idle(int64_t nowMs, std::vector<Exchange>* out) {
  std::vector<Line> lines;
  lines_.idle(nowMs, &lines);
  answerAll(lines, nowMs, out);
}

void TextResponder::answerAll(std::vector<Line>& lines, int64_t nowMs, std::vector<Exchange>* out) {
  for (Line& line : lines) {
    Exchange exchange;
    exchange.request = line.raw;
    if (line.text.empty()) {
      exchange.note = "ignored: no command";
    } else {
      answer(line, nowMs, &exchange);
    }
    out->push_back(std::move(exchange));
  }
}

bool parseWholeInt(std::string_view text, int* value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long number = 0;
  size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    number = number * 10 + (text[i] - '0');
    if (number > INT_MAX) return false;
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (digits == 0 || i != text.size()) return false;
  *value = static_cast<int>(negative ? -number : number);
  return true;
}

}  // namespace orvik::upssim
