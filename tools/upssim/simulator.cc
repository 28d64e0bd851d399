#include "simulator.h"

#include <algorithm>

#include "q1_responder.h"

namespace orvik::upssim {

Simulator::Simulator(int protocol, SimLog& log, bool plainQ1)
    : protocol_(protocol),
      log_(log),
      ups_(plainQ1 ? plainQ1State() : UpsState{},
           [this](const std::string& change) {
             if (held_) {
               held_->push_back(change);
             } else {
               log_.write("state", change);
             }
           }),
      responder_(makeResponder(protocol, ups_, plainQ1)) {}

void Simulator::receive(std::string_view bytes, int64_t nowMs) {
  std::vector<Exchange> exchanges;
  holdStateLines();
  responder_->receive(bytes, nowMs, &exchanges);
  handle(exchanges, nowMs);
}

void Simulator::tick(int64_t nowMs) {
  ups_.advance(nowMs);
  std::vector<Exchange> exchanges;
  holdStateLines();
  responder_->idle(nowMs, &exchanges);
  handle(exchanges, nowMs);
}

void Simulator::releaseStateLines() {
  if (!held_) return;
  std::vector<std::string> lines = std::move(*held_);
  held_.reset();
  for (const std::string& line : lines) log_.write("state", line);
}

void Simulator::handle(std::vector<Exchange>& exchanges, int64_t nowMs) {
  for (const Exchange& e : exchanges) {
    std::string line = SimLog::escape(e.request) + " " + e.note;
    if (!e.reply.empty() && faults_.silent) line += " (silent: no reply)";
    log_.write("rx", line);
  }
  releaseStateLines();
  for (Exchange& e : exchanges) {
    if (e.reply.empty() || faults_.silent) continue;
    bool garbage = faults_.garbage;
    outgoing_.push_back(
        {nowMs + faults_.replyDelayMs, garbage ? noise(e.reply) : e.reply, garbage});
  }
}

int64_t Simulator::nextDeadlineMs() const {
  int64_t next = -1;
  auto consider = [&next](int64_t at) {
    if (at >= 0) next = next < 0 ? at : std::min(next, at);
  };
  consider(ups_.nextDeadlineMs());
  consider(responder_->nextDeadlineMs());
  if (!outgoing_.empty()) consider(outgoing_.front().dueMs);
  return next;
}

std::string Simulator::takeOutput(int64_t nowMs) {
  std::string bytes;
  while (!outgoing_.empty() && outgoing_.front().dueMs <= nowMs) {
    const Outgoing& o = outgoing_.front();
    log_.write("tx", SimLog::escape(o.bytes) + (o.garbage ? " garbage" : ""));
    bytes += o.bytes;
    outgoing_.pop_front();
  }
  return bytes;
}

std::string Simulator::control(std::string_view line, int64_t nowMs) {
  holdStateLines();
  std::string answer = runControlCommand(line, {ups_, faults_, protocol_}, nowMs);
  log_.write("ctl", std::string(line) + " -> " + answer);
  releaseStateLines();
  return answer;
}

// Noise that no host can take for a reply: text without line ends, "(",
// "#" or the letters that identify a two-letter protocol; binary status
// frames with impossible frequencies.
std::string Simulator::noise(const std::string& reply) {
  static const char kAlphabet[] = "0123456789!$%&*+-./:;<=>?@ADEFGHIJKLMNOPQRSUVWXYZ";
  std::string out(reply.size(), '\0');
  for (char& c : out) {
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    c = protocol_ == 1 ? static_cast<char>(noiseState_ & 0xFF)
                       : kAlphabet[noiseState_ % (sizeof kAlphabet - 1)];
  }
  if (protocol_ == 1 && out.size() == 16) {
    out[4] = out[6] = static_cast<char>(0xFF);
    out[11] = '\0';
  }
  return out;
}

}  // namespace orvik::upssim
