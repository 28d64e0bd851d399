// Protocol identification: the serial settings of each candidate protocol
// and the probe exchanges that recognise it.
//
// Candidates are tried in order 1 to 9: 1 the binary protocol, 2 to 4 the
// "Q1" text protocols (one probe tells all three apart, so 3 and 4 repeat
// the probe of 2 with its settings), 5 to 9 the two-letter text protocols,
// told apart by the version the "IS" command reports.
//
// Threads: the poll task's only.
#pragma once

#include <cstdint>

namespace orvik {

class SerialLink;

inline constexpr int kLastCandidate = 9;
// Every reply of the binary protocol's status command is this long.
inline constexpr int kBinaryFrameLength = 16;

// The line settings of the current protocol: set for each candidate while
// probing and kept for every table exchange once it is identified.
struct ProbeSettings {
  uint32_t speed = 2400;
  int byteDelayMs = 20;
  int settleMs = 10;
  int timeoutMs = 1000;
};

// Sets the settings and family for candidate protocolNumber; the family is
// 5 unless the candidate says otherwise. Past the last candidate the family
// becomes 0 and protocolNumber 0, which ends a round.
void prepareCandidate(int& protocolNumber, ProbeSettings& settings, int& protocolFamily);

// Sets the UPS port's speed and runs the candidate's probe exchanges. True
// when the UPS answered as the candidate expects; the "Q1" probe may then
// change protocolNumber to the variant that answered (2, 3 or 4), and the
// binary probe sets protocolVariant (2 for a "K" unit, else 1).
bool probeCandidate(SerialLink& link, const ProbeSettings& settings, int& protocolNumber,
                    int& protocolVariant);

}  // namespace orvik
