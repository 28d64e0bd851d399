#include "hayes_modem.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace orvik::modemsim {

using upssim::SimLog;

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

const char* resultName(DialResult r) {
  switch (r) {
    case DialResult::kConnect:
      return "connect";
    case DialResult::kBusy:
      return "busy";
    case DialResult::kNoCarrier:
      return "no-carrier";
  }
  return "?";
}

const char* onOff(bool on) { return on ? "on" : "off"; }

}  // namespace

void HayesModem::receive(std::string_view bytes, int64_t nowMs) {
  for (char c : bytes) {
    if (state_ == State::kDialling) {
      // A real modem abandons a dial on any key.
      log_.write("state", "dial aborted by input");
      state_ = State::kCommand;
      offHook_ = false;
      result("NO CARRIER", nowMs);
    }
    if (state_ != State::kOnline) {
      if (line_.empty() && c == '\n') continue;  // the LF of a CR LF
      if (echo_) outgoing_.push_back({nowMs, std::string(1, c), false});
    }
    line_ += c;
    if (state_ == State::kOnline && line_.size() >= 3 &&
        line_.compare(line_.size() - 3, 3, "+++") == 0) {
      // No guard time is asked for: "+++" escapes at once.
      state_ = State::kCommand;
      escaped_ = true;
      log_.write("state", "command mode (escape)");
      result("OK", nowMs);
    }
    if (c == '\r' || line_.size() >= kMaxLine) finishLine(nowMs);
  }
}

void HayesModem::finishLine(int64_t nowMs) {
  const bool complete = !line_.empty() && line_.back() == '\r';
  std::string what;
  if (escaped_) {
    what = "escape";
  } else if (state_ == State::kOnline) {
    what = "data";
  } else if (!complete) {
    what = "too long";
    result("ERROR", nowMs);
  } else if (line_.size() >= 3 && upper(line_[0]) == 'A' && upper(line_[1]) == 'T') {
    // The line is logged before what it causes.
    log_.write("rx", SimLog::escape(line_) + " command");
    line_.erase(0, 2);
    line_.pop_back();
    runCommands(line_, nowMs);
    line_.clear();
    escaped_ = false;
    return;
  } else {
    what = "ignored";
  }
  log_.write("rx", SimLog::escape(line_) + " " + what);
  line_.clear();
  escaped_ = false;
}

void HayesModem::runCommands(const std::string& commands, int64_t nowMs) {
  size_t i = 0;
  auto number = [&](int fallback) {
    int value = fallback;
    if (i < commands.size() && std::isdigit(static_cast<unsigned char>(commands[i]))) {
      value = 0;
      while (i < commands.size() && std::isdigit(static_cast<unsigned char>(commands[i]))) {
        value = value * 10 + (commands[i++] - '0');
      }
    }
    return value;
  };
  while (i < commands.size()) {
    const char c = upper(commands[i++]);
    if (c == ' ') continue;
    if (c == 'Z') {
      number(0);
      hangUp();
      echo_ = true;
      log_.write("state", "reset");
    } else if (c == 'H') {
      if (number(0) == 0) hangUp();
    } else if (c == 'E') {
      echo_ = number(0) != 0;
    } else if (c == 'D') {
      std::string dial = commands.substr(i);
      while (!dial.empty() && dial.back() == ' ') dial.pop_back();
      ++calls_;
      offHook_ = true;
      state_ = State::kDialling;
      dialDoneMs_ = nowMs + settings_.dialMs;
      // A dial string ending in ";" returns to command mode after dialling.
      dialReturnsToCommand_ = !dial.empty() && dial.back() == ';';
      log_.write("state", "dialling " + SimLog::escape(dial));
      return;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '&' || c == '%' || c == '\\') {
      // Settings the simulation does not model: accepted with their values.
      if (!std::isalpha(static_cast<unsigned char>(c)) && i < commands.size()) ++i;
      number(0);
      if (i < commands.size() && (commands[i] == '=' || commands[i] == '?')) {
        if (commands[i++] == '=') number(0);
      }
    } else {
      result("ERROR", nowMs);
      return;
    }
  }
  result("OK", nowMs);
}

void HayesModem::hangUp() {
  if (offHook_ || state_ != State::kCommand) log_.write("state", "on hook");
  offHook_ = false;
  state_ = State::kCommand;
}

void HayesModem::result(const char* code, int64_t dueMs) {
  outgoing_.push_back({dueMs, std::string("\r\n") + code + "\r\n", true});
}

void HayesModem::tick(int64_t nowMs) {
  if (state_ == State::kDialling && nowMs >= dialDoneMs_) {
    if (dialReturnsToCommand_) {
      state_ = State::kCommand;
      log_.write("state", "dialled, command mode");
      result("OK", nowMs);
    } else if (settings_.dialResult == DialResult::kConnect) {
      state_ = State::kOnline;
      log_.write("state", "connected");
      result("CONNECT 2400", nowMs);
    } else {
      state_ = State::kCommand;
      offHook_ = false;
      log_.write("state", std::string("call failed: ") + resultName(settings_.dialResult));
      result(settings_.dialResult == DialResult::kBusy ? "BUSY" : "NO CARRIER", nowMs);
    }
  }
  if (!settings_.stream) {
    nextStreamMs_ = -1;
    return;
  }
  // After a long stall the stream goes on from now rather than in a burst.
  if (nextStreamMs_ < 0 || nowMs - nextStreamMs_ > 1000) nextStreamMs_ = nowMs;
  while (nextStreamMs_ <= nowMs) {
    outgoing_.push_back({nextStreamMs_, noise(kStreamChunk), false});
    nextStreamMs_ += kStreamEveryMs;
  }
}

int64_t HayesModem::nextDeadlineMs() const {
  int64_t next = -1;
  auto consider = [&next](int64_t at) {
    if (next < 0 || at < next) next = at;
  };
  if (state_ == State::kDialling) consider(dialDoneMs_);
  if (settings_.stream) consider(std::max<int64_t>(nextStreamMs_, 0));
  if (!outgoing_.empty()) consider(outgoing_.front().dueMs);
  return next;
}

std::string HayesModem::takeOutput(int64_t nowMs) {
  std::string out;
  while (!outgoing_.empty() && outgoing_.front().dueMs <= nowMs) {
    Outgoing o = std::move(outgoing_.front());
    outgoing_.pop_front();
    if (settings_.silent) {
      if (o.logged) log_.write("held", SimLog::escape(o.bytes) + " silent");
      continue;
    }
    if (settings_.garbage) o.bytes = noise(o.bytes.size());
    if (o.logged) log_.write("tx", SimLog::escape(o.bytes));
    out += o.bytes;
  }
  return out;
}

std::string HayesModem::noise(size_t length) {
  std::string bytes;
  for (size_t i = 0; i < length; ++i) {
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    bytes += static_cast<char>(noiseState_ & 0xFF);
  }
  return bytes;
}

std::string HayesModem::statusLine() const {
  const char* state = state_ == State::kDialling ? "dialling"
                      : state_ == State::kOnline ? "online"
                      : offHook_                 ? "off-hook"
                                                 : "on-hook";
  std::ostringstream out;
  out << "ok state=" << state << " echo=" << onOff(echo_) << " calls=" << calls_
      << " dial-result=" << resultName(settings_.dialResult) << " dial-ms=" << settings_.dialMs
      << " silent=" << onOff(settings_.silent) << " garbage=" << onOff(settings_.garbage)
      << " stream=" << onOff(settings_.stream);
  return out.str();
}

std::string HayesModem::control(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  std::string answer;
  auto onOffSetting = [&](bool* field) {
    if (words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
      *field = words[1] == "on";
      answer = "ok " + words[0] + " " + words[1];
    } else {
      answer = "error: " + words[0] + " takes on or off";
    }
  };
  if (words.empty()) {
    answer = "error: empty command";
  } else if (words[0] == "status" && words.size() == 1) {
    answer = statusLine();
  } else if (words[0] == "silent") {
    onOffSetting(&settings_.silent);
  } else if (words[0] == "garbage") {
    onOffSetting(&settings_.garbage);
  } else if (words[0] == "stream") {
    onOffSetting(&settings_.stream);
  } else if (words[0] == "dial-result" && words.size() == 2) {
    const DialResult all[] = {DialResult::kConnect, DialResult::kBusy, DialResult::kNoCarrier};
    const auto found = std::find_if(std::begin(all), std::end(all),
                                    [&](DialResult r) { return words[1] == resultName(r); });
    answer = found == std::end(all) ? "error: dial-result takes connect, busy or no-carrier"
                                    : "ok dial-result " + words[1];
    if (found != std::end(all)) settings_.dialResult = *found;
  } else if (words[0] == "dial-ms" && words.size() == 2) {
    char* end = nullptr;
    const long ms = std::strtol(words[1].c_str(), &end, 10);
    if (words[1].empty() || *end != '\0' || ms < 0 || ms > 600000) {
      answer = "error: dial-ms takes 0 to 600000, not " + words[1];
    } else {
      settings_.dialMs = static_cast<int>(ms);
      answer = "ok dial-ms " + words[1];
    }
  } else if (words[0] == "mark") {
    answer = "ok";
  } else if (words[0] == "help") {
    answer =
        "ok status | silent|garbage|stream on|off | dial-result connect|busy|no-carrier | "
        "dial-ms N | mark TEXT";
  } else {
    answer = "error: unknown command " + words[0] + " (try help)";
  }
  log_.write("ctl", std::string(line) + " -> " + answer);
  return answer;
}

}  // namespace orvik::modemsim
