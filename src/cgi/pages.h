// The page handlers of the management pages. Each writes its content, frame
// included where it has one, into context.out; those with forms apply a
// posted form first, so the page shows the new values.
#pragma once

#include "cgi/page_context.h"

namespace orvik {

void testPage(PageContext& context);            // 0: "Demo CGI", no frame
void identificationPage(PageContext& context);  // 11
void configurationPage(PageContext& context);   // 12
void measuredPage(PageContext& context);        // 13, reloads every 5 s
void eventLogPage(PageContext& context);        // 41
void dataLogPage(PageContext& context);         // 42
void logSettingsPage(PageContext& context);     // 44

}  // namespace orvik
