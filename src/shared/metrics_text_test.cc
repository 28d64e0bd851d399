#include "shared/metrics_text.h"

#include <gtest/gtest.h>

#include <string>

#include "shared/record_access.h"
#include "shared/service_record_test_support.h"

namespace orvik {
namespace {

bool has(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos;
}

TEST(MetricsText, GaugesHoldTheRecordInBaseUnitsAndLeaveOutWhatTheUpsDoesNotReport) {
  auto r = serviceRecord();
  setFlagBit(r->alarmFlags, 1, true);
  storeField(r->protocolInUse, 3);
  const std::string text = metricsText(r.get());
  for (const char* line : {
           "orvik_service_up 1",
           "orvik_ups_protocol 3",
           "orvik_service_start_time_seconds 1765189952",
           "orvik_link_up 1",
           "orvik_input_voltage_volts 229",
           "orvik_input_frequency_hertz 50.1",
           "orvik_output_load_ratio 0.3",
           "orvik_battery_voltage_volts 27.3",
           "orvik_battery_charge_ratio 0.8",
           "orvik_battery_runtime_seconds 2700",
           "orvik_alarm{condition=\"on_battery\"} 1",
           "orvik_alarm{condition=\"battery_bad\"} 0",
           "orvik_self_test_result{result=\"none\"} 1",
       }) {
    EXPECT_TRUE(has(text, line)) << line << "\n" << text;
  }
  EXPECT_EQ(text.find("orvik_output_voltage_volts"), std::string::npos);
  EXPECT_EQ(text.find("orvik_battery_temperature_celsius"), std::string::npos);
  EXPECT_EQ(text.find("orvik_ups_output_off_in_seconds"), std::string::npos);
  EXPECT_EQ(text.find("condition=\"service_running\""), std::string::npos);
}

// Label values come from the UPS and the pages: any byte may be there.
TEST(MetricsText, IdentityLabelsAreEscapedValidUtf8) {
  auto r = serviceRecord();
  setText(r->model, "A\"B\\C\xE9\x1B[2J\n\x85");
  setText(r->manufacturer, "");
  const std::string text = metricsText(r.get());
  EXPECT_TRUE(
      has(text,
          "orvik_ups_info{manufacturer=\"\",model=\"A\\\"B\\\\C\xC3\xA9[2J?\",firmware=\"\","
          "serial_number=\"\",name=\"UPS\"} 1"))
      << text;
}

TEST(MetricsText, OnlyServiceDownWithoutALiveServiceRecord) {
  const std::string down =
      "# HELP orvik_service_up Whether the UPS service runs (1) or not (0).\n"
      "# TYPE orvik_service_up gauge\n"
      "orvik_service_up 0\n";
  EXPECT_EQ(metricsText(nullptr), down);
  auto stopped = serviceRecord();
  stopped->alarmFlags = 0;
  EXPECT_EQ(metricsText(stopped.get()), down);
  auto foreign = serviceRecord();
  std::memset(foreign->model, 'x', sizeof foreign->model);
  EXPECT_EQ(metricsText(foreign.get()), down);
}

}  // namespace
}  // namespace orvik
