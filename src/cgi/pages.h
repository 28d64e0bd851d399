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

// The Settings, Configuration, Control and System sections.
void basicInformationPage(PageContext& context);    // 21
void communicationsPage(PageContext& context);      // 22
void networkPage(PageContext& context);             // 23, the SNMP agent's file
void shutdownPage(PageContext& context);            // 24
void upsParametersPage(PageContext& context);       // 31
void eventActionsPage(PageContext& context);        // 32
void schedulePage(PageContext& context);            // 33
void controlUpsPage(PageContext& context);          // 51
void outletsPage(PageContext& context);             // 52, reloads every 5 s
void userAccountPage(PageContext& context);         // 61, the access file
void linksPage(PageContext& context);               // 64
void plainUserAccountPage(PageContext& context);    // 199: 61 without menus
void russianUserAccountPage(PageContext& context);  // 200: 199 in Russian

}  // namespace orvik
