#include "cgi/kestrel.h"

#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "cgi/same_origin.h"
#include "shared/metrics_text.h"
#include "shared/record_mapping.h"

namespace orvik {
namespace {

using PageHandler = void (*)(PageContext&);

// The record for a scraper, as `orvik metrics` prints it: a number no
// management page uses, answered as plain text without the page envelope.
constexpr int kMetricsPage = 71;

struct PageEntry {
  int page;
  PageHandler first;
  PageHandler second;  // page 99 shows two pages' content
};

// The pages built so far; every other number shows an empty body, as an
// unknown number does.
constexpr PageEntry kPages[] = {
    {0, testPage, nullptr},
    {11, identificationPage, nullptr},
    {12, configurationPage, nullptr},
    {13, measuredPage, nullptr},
    {21, basicInformationPage, nullptr},
    {22, communicationsPage, nullptr},
    {23, networkPage, nullptr},
    {24, shutdownPage, nullptr},
    {31, upsParametersPage, nullptr},
    {32, eventActionsPage, nullptr},
    {33, schedulePage, nullptr},
    {41, eventLogPage, nullptr},
    {42, dataLogPage, nullptr},
    {44, logSettingsPage, nullptr},
    {51, controlUpsPage, nullptr},
    {52, outletsPage, nullptr},
    {61, userAccountPage, nullptr},
    {64, linksPage, nullptr},
    {99, testPage, plainUserAccountPage},
    {199, plainUserAccountPage, nullptr},
    {200, russianUserAccountPage, nullptr},
};

void dispatch(PageContext& context) {
  for (const PageEntry& entry : kPages) {
    if (entry.page != context.request.page) continue;
    entry.first(context);
    if (entry.second != nullptr) entry.second(context);
    return;
  }
}

}  // namespace

int runKestrel(const KestrelRun& run, std::string* response) {
  PageWriter out;
  std::unique_ptr<RecordMapping> mapping = RecordMapping::openLiveOrFresh(run.memory);
  if (!mapping) {
    writeEnvelopeHead(out);
    out.write("Can't found share memory\n");
    writeEnvelopeEnd(out);
    *response = out.text();
    return 0;
  }
  if (methodCode(run.variable("REQUEST_METHOD")) == kMethodPost && fromAnotherSite(run.variable)) {
    *response =
        "Status: 403 Forbidden\nContent-type: text/plain\n\n"
        "Refused: the form was sent from a page of another site.\n";
    return 0;
  }
  Request request;
  if (!readRequest(run.variable, run.readBody, &request)) {
    response->clear();
    return 1;
  }
  if (request.page == kMetricsPage) {
    *response = std::string("Content-type: ") + kMetricsContentType + "\n\n" +
                metricsText(&mapping->record());
    return 0;
  }
  writeEnvelopeHead(out);
  DatagramSender sender(run.sockets, [&out](const char* line) { out.write(line); });
  PageContext context{mapping->record(), request, out, sender, run.serviceFolder, run.files};
  dispatch(context);
  writeEnvelopeEnd(out);
  *response = out.text();
  return 0;
}

}  // namespace orvik
