// The status record in the Prometheus text exposition format (version
// 0.0.4): what `orvik metrics` prints for a node exporter's text-file
// collector and what the pages serve to a scraper that speaks HTTP.
#pragma once

#include <string>

#include "shared/status_record.h"

namespace orvik {

// The content type a web server sends with metricsText().
inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// Gauges for the UPS identity (orvik_ups_info's labels), the link, the
// measured values, the battery, one series of orvik_alarm per alarm
// condition, the self-test result and the service's start time. A null
// record, one the service has stopped with (bit 24 clear) or one that is no
// status record (recordProblem) gives only "orvik_service_up 0". Values the
// UPS does not report are left out, as a scraper expects of a value it
// cannot have.
std::string metricsText(const StatusRecord* record);

}  // namespace orvik
