// The Home section: what the service knows about the UPS, straight from the
// record.
#include <cstdint>
#include <string>

#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

enum class Format {
  kWholeOrZero,      // v <= 0 prints "&nbsp;0"
  kTenthsOrZero,     // v <= 0 prints "&nbsp;0.0"
  kWholeIfPositive,  // the row only when v > 0
  kTenthsIfPositive,
  kWholeOrBlank,  // -2 prints an empty cell
  kTenthsOrBlank,
};

struct Row {
  const char* label;
  int value;
  Format format;
  const char* unit;
};

std::string whole(int v) { return std::to_string(v); }

// The sign is written once: -15 is "-1.5", not "-1.-5".
std::string tenths(int v) {
  const int magnitude = v < 0 ? -v : v;
  return (v < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

// False when the row is left out.
bool formatValue(int v, Format format, std::string* out) {
  switch (format) {
    case Format::kWholeOrZero:
      *out = v <= 0 ? "&nbsp;0" : whole(v);
      return true;
    case Format::kTenthsOrZero:
      *out = v <= 0 ? "&nbsp;0.0" : tenths(v);
      return true;
    case Format::kWholeIfPositive:
      *out = whole(v);
      return v > 0;
    case Format::kTenthsIfPositive:
      *out = tenths(v);
      return v > 0;
    case Format::kWholeOrBlank:
      *out = v == kNotAvailable ? "&nbsp;" : whole(v);
      return true;
    case Format::kTenthsOrBlank:
      *out = v == kNotAvailable ? "&nbsp;" : tenths(v);
      return true;
  }
  return false;
}

void writeDataCell(PageWriter& out, const std::string& html) {
  out.print("\n<td nowrap><font class=\"itemData\">%s</font></td>", html.c_str());
}

void writeRows(PageWriter& out, const Row* rows, int count) {
  for (int i = 0; i < count; ++i) {
    std::string value;
    if (!formatValue(rows[i].value, rows[i].format, &value)) continue;
    writeLabelCell(out, rows[i].label);
    writeDataCell(out, value);
    writeDataCell(out, rows[i].unit);
    out.write("\n</tr>");
  }
}

void writeTextRow(PageWriter& out, const char* label, const std::string& text) {
  writeLabelCell(out, label);
  writeDataCell(out, "&nbsp;" + htmlEscape(text));
  out.write("\n</tr>");
}

}  // namespace

void identificationPage(PageContext& context) {
  const StatusRecord& r = context.record;
  PageWriter& out = context.out;
  writeFrameTop(context, 11);
  openBox(out, "&nbsp;Identification Info");
  openLabelCell(out);
  // Written this way since the first version, last entity without its ";".
  out.write(
      "\n<font class=\"itemName\">&nbsp;Manufacturer&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp"
      "</font></td>");
  writeDataCell(out, "&nbsp;" + htmlEscape(readText(r.manufacturer)));
  out.write("\n</tr>");
  writeTextRow(out, "Model", readText(r.model));
  writeTextRow(out, "Firmware Version", readText(r.upsSoftwareVersion));
  writeTextRow(out, "Id Name", readText(r.idName));
  writeTextRow(out, "Attached", readText(r.attDevice));
  const std::string serial = readText(r.serialNumber);
  if (!serial.empty()) writeTextRow(out, "Serial Number", serial);
  closeBox(out);
  out.write("\n<p> </p>");
  writeFrameBottom(out);
}

void configurationPage(PageContext& context) {
  const StatusRecord& r = context.record;
  const Row rows[] = {
      {"Input Voltage", loadField(r.confInVolt.value), Format::kWholeOrZero, "Vac"},
      {"Input Frequency", loadField(r.confInFreq.value), Format::kTenthsOrZero, "Hz"},
      {"Output Voltage", loadField(r.confOutVolt.value), Format::kWholeOrZero, "Vac"},
      {"Output Frequency", loadField(r.confOutFreq.value), Format::kTenthsOrZero, "Hz"},
      {"Output VA", loadField(r.configOutputVA), Format::kWholeIfPositive, "VA"},
      {"Output Watt", loadField(r.configOutputPower), Format::kWholeIfPositive, "Watt"},
      {"Low voltage", loadField(r.lowTransferVoltage.value), Format::kWholeIfPositive, "Vac"},
      {"High voltage", loadField(r.highTransferVoltage.value), Format::kWholeIfPositive, "Vac"},
  };
  writeFrameTop(context, 12);
  openBox(context.out, "&nbsp;Configuration Info");
  writeRows(context.out, rows, sizeof rows / sizeof rows[0]);
  closeBox(context.out);
  writeFrameBottom(context.out);
}

void measuredPage(PageContext& context) {
  const StatusRecord& r = context.record;
  const Row rows[] = {
      {"Input Voltage", loadField(r.inputVoltage[0]), Format::kWholeOrZero, "Vac"},
      {"Input Current", loadField(r.inputCurrent[0]), Format::kWholeIfPositive, "A"},
      {"Input Frequency", loadField(r.inputFrequency[0]), Format::kTenthsOrZero, "Hz"},
      {"Output Voltage", loadField(r.outputVoltage[0]), Format::kWholeOrZero, "Vac"},
      {"Output Current", loadField(r.outputCurrent[0]), Format::kWholeIfPositive, "A"},
      {"Output Frequency", loadField(r.outputFrequency), Format::kTenthsOrZero, "Hz"},
      {"Battery Voltage", loadField(r.batteryVoltage), Format::kTenthsOrBlank, "Vdc"},
      {"Battery Current", loadField(r.batteryCurrent), Format::kTenthsIfPositive, "A"},
      {"Battery Temp.", loadField(r.batteryTemperature), Format::kWholeOrBlank, "degree C"},
      {"Output Load", loadField(r.outputPercentLoad[0]), Format::kWholeOrBlank, "%"},
  };
  context.out.write("\n<meta http-equiv=\"refresh\" content=5>");
  writeFrameTop(context, 13);
  openBox(context.out, "Measured Information");
  writeRows(context.out, rows, sizeof rows / sizeof rows[0]);
  closeBox(context.out);
  writeFrameBottom(context.out);
}

}  // namespace orvik
