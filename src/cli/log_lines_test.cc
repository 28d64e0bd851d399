#include "cli/log_lines.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(EventLines, LoggedLinesReadBackAndShowWithTheEventName) {
  struct Case {
    const char* logged;
    const char* shown;  // "" when the line is no event line
  };
  const Case cases[] = {
      {"001  12/08/2026  09:12:32  [Power failure                           ]\r\n",
       "2026-12-08 09:12:32  001  Power failure"},
      {"124  01/31/2027  23:59:60  [Service stopped                         ]",
       "2027-01-31 23:59:60  124  Service stopped"},
      // Another language's text follows the name, cut at 80 columns.
      {"001  12/08/2026  09:12:32  [Stromausfall: die USV l\xC3\xA4uft auf Batterie seit Sekunden]",
       "2026-12-08 09:12:32  001  Power failure  [Stromausfall: die USV l\xC3\xA4uft auf Batter"},
      {"026  12/08/2026  09:12:32  [\x1B[31mReserved\x1B[0m                        ]",
       "2026-12-08 09:12:32  026  Event 26  [[31mReserved[0m]"},
      {"001  12/08/2026  09:12:32  [Power failure     ", ""},  // cut by the log's trim
      {"ailure                           ]\r\n", ""},
      {"001  13/08/2026  09:12:32  [Power failure]", ""},
      {"001  12/08/2026  09:12:32 [Power failure]", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    const auto event = parseEventLine(c.logged);
    EXPECT_EQ(event ? formatEventLine(*event) : "", c.shown) << c.logged;
  }
}

TEST(DataLines, ValuesTheServiceClampsShowAsNotAvailable) {
  struct Case {
    const char* logged;
    const char* shown;
  };
  const Case cases[] = {
      {"12/08/2026,09:12:32,230,229,0273,50.0,49.9,021,035,0x01000002\r\n",
       "2026-12-08 09:12:32   230   229   27.3   50.0   49.9    21    35  0x01000002"},
      {"12/08/2026,09:12:32,-02,999,-020,-2.0,99.9,-02,-02,0x00000000",
       "2026-12-08 09:12:32     -   999      -      -   99.9     -     -  0x00000000"},
      {"12/08/2026,09:12:32,230,229,0273,50.0,49.9,021,035", ""},
      {"12/08/2026,09:12:32,230,229,0273,50,49.9,021,035,0x01000002", ""},
      {"12/08/2026,09:12:32,230,229,0273,50.0,49.9,021,035,0x0100000G", ""},
      {"12/08/2026,09:12:32,2x0,229,0273,50.0,49.9,021,035,0x01000002", ""},
  };
  for (const Case& c : cases) {
    const auto data = parseDataLine(c.logged);
    EXPECT_EQ(data ? formatDataLine(*data) : "", c.shown) << c.logged;
  }
}

}  // namespace
}  // namespace orvik
