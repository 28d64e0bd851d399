// The management pages in a real browser, through a real web server, with the
// service and a simulated UPS behind them. Run by tests/e2e/pages_e2e_test.py,
// which starts all of that and passes a JSON object as the one argument:
//   base       "http://127.0.0.1:PORT"
//   upssim     the upssim binary; ctl its control socket
//   record     the status record's file; config the service's kestrel.cfg
//   artefacts  where the screenshots go
//   hostile    the text planted in every field and file the pages print
// Prints one line per check and exits 1 when any failed.
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { launchChromium } from "./chromium.mjs";

const settings = JSON.parse(process.argv[2]);
const program = `${settings.base}/cgi-bin/kestrel.exe`;

const EVT_FILE_LEN = 75052;
// Where the same field sits in kestrel.cfg, the image of the persisted slices.
const CONFIG_EVT_FILE_LEN = 73866;

class Failure extends Error {}
function check(condition, message) {
  if (!condition) throw new Failure(message);
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(predicate, timeoutMs, what) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await predicate();
    if (value) return value;
    check(Date.now() < deadline, `timed out waiting for ${what}`);
    await sleep(100);
  }
}
const recordInt32 = (offset) => readFileSync(settings.record).readInt32LE(offset);
const configInt32 = (offset) => {
  try {
    return readFileSync(settings.config).readInt32LE(offset);
  } catch {
    return undefined;
  }
};
const upssim = (...words) =>
  execFileSync(settings.upssim, ["ctl", "--socket", settings.ctl, ...words]);

// What a page shows, read from its markup the way a user sees it.
async function pageState(page) {
  return page.evaluate(() => {
    const text = (element) => (element ? element.textContent.replace(/\u00a0/g, " ").trim() : null);
    const values = {};
    for (const row of document.querySelectorAll("tr")) {
      const cells = row.querySelectorAll(":scope > td");
      const label = cells[0]?.querySelector("font.itemName");
      const value = cells[1]?.querySelector("font.itemData");
      if (label && value) values[text(label)] = text(value);
    }
    const titles = [...document.querySelectorAll("font.itemTitle")].map(text);
    return {
      tab: text(document.querySelector('td[background$="menu1.gif"] font.menu')),
      current: text(document.querySelector("td > font.link")),
      values,
      range: titles.find((t) => /^\d+-\d+\/\d+$/.test(t ?? "")) ?? null,
      rows: [...document.querySelectorAll("form table tr")].length - 1,
      scripts: document.querySelectorAll("script").length,
      pwned: window.pwned === 1,
      body: document.body.innerText,
    };
  });
}

async function open(page, query) {
  const response = await page.goto(`${program}?${query}`);
  check(response.status() === 200, `${query}: status ${response.status()}`);
  return pageState(page);
}

// Every page of this issue loads, and none runs the script planted in every
// field and file the pages print.
async function everyPageLoads(page) {
  const marks = {
    "page=0": (s) => s.body.includes("Demo CGI"),
    "page=11": (s) => s.tab === "Home" && s.current === "Identification  Information",
    "page=12": (s) => s.current === "Configuration Information" && "Input Voltage" in s.values,
    "page=13": (s) => s.current === "Measured Informataion" && "Battery Voltage" in s.values,
    "page=14": (s) => s.body.trim() === "",
    "page=41": (s) => s.tab === "Log" && s.current === "Event Log",
    "page=42": (s) => s.current === "Data Log",
    "page=41&item=1": (s) => s.body.includes(settings.hostile),  // the planted log lines
    "page=42&item=1": (s) => s.body.includes(settings.hostile),
    "page=44": (s) => s.current === "Log Settings",
    "": (s) => s.current === "Identification  Information",
  };
  for (const [query, mark] of Object.entries(marks)) {
    const state = await open(page, query);
    check(mark(state), `${query || "no page"}: not the page expected`);
    check(state.scripts === 0 && !state.pwned, `${query}: a planted script got into the page`);
  }
  // The planted text shows as text.
  const state = await open(page, "page=11");
  check(state.values["Id Name"] === settings.hostile, `Id Name shows "${state.values["Id Name"]}"`);
  await page.screenshot({ path: `${settings.artefacts}/page11.png`, fullPage: true });
}

// Tabs and sub-menus lead where they belong.
async function tabsAndSubMenusLead(page) {
  await open(page, "page=11");
  const steps = [
    ["a.menu >> text=Log", "41", "Log", "Event Log"],
    ["a.link >> text=Data Log", "42", "Log", "Data Log"],
    ["a.link >> text=Log Settings", "44", "Log", "Log Settings"],
    ["a.link >> text=Event Log", "41", "Log", "Event Log"],
    ["a.menu >> text=Home", "11", "Home", "Identification  Information"],
    ["a.link >> text=Measured Informataion", "13", "Home", "Measured Informataion"],
    ["a.link >> text=Configuration Information", "12", "Home", "Configuration Information"],
    ["a.link >> text=Identification Information", "11", "Home", "Identification  Information"],
  ];
  for (const [link, number, tab, current] of steps) {
    await Promise.all([page.waitForNavigation(), page.click(link)]);
    const url = new URL(page.url());
    check(url.pathname === "/cgi-bin/kestrel.exe" && url.searchParams.get("page") === number,
          `${link} led to ${page.url()}`);
    const state = await pageState(page);
    check(state.tab === tab && state.current === current,
          `${link}: tab ${state.tab}, sub-page ${state.current}`);
  }
}

// Page 13 reloads itself: a power failure at the UPS shows up without any
// action in the browser.
async function measuredPageFollowsAPowerFailure(firstPage) {
  // A tab of its own: its reloads must not cut into the other checks' visits.
  const page = await firstPage.context().newPage();
  try {
    let state = await open(page, "page=13");
    const before = Number(state.values["Input Voltage"]);
    check(before > 100, `input voltage before the failure: ${state.values["Input Voltage"]}`);
    await page.screenshot({ path: `${settings.artefacts}/page13.png`, fullPage: true });
    let reloads = 0;
    page.on("load", () => ++reloads);
    upssim("power", "fail");
    try {
      state = await waitFor(async () => {
        // A reload may destroy the document being read: look again.
        const now = await pageState(page).catch(() => null);
        return now?.values["Input Voltage"] === "0" ? now : null;
      }, 30000, "the input voltage to show 0 after a reload");
      check(reloads > 0, "the page changed without reloading");
      check(new URL(page.url()).searchParams.get("page") === "13", "the reload left page 13");
      await page.screenshot({ path: `${settings.artefacts}/page13-power-failure.png`,
                              fullPage: true });
    } finally {
      upssim("power", "restore");
    }
  } finally {
    await page.close();
  }
}

// The log pages open on the newest lines and page through the rest. The
// service may log an event meanwhile, so totals may grow between visits.
function parseRange(state, where) {
  const match = state.range?.match(/^(\d+)-(\d+)\/(\d+)$/);
  check(match, `${where}: no range text`);
  return match.slice(1).map(Number);
}

async function logPagesPageThrough(page) {
  for (const number of ["41", "42"]) {
    let state = await open(page, `page=${number}`);
    const [first, last, total] = parseRange(state, `page ${number}`);
    check(total > 15, `page ${number}: only ${total} lines`);
    check(last === total && first === total - ((total - 1) % 15),
          `page ${number} opened on ${state.range}`);
    check(state.rows === last - first + 1, `page ${number}: ${state.rows} rows for ${state.range}`);
    if (number === "41") {
      await page.screenshot({ path: `${settings.artefacts}/page41.png`, fullPage: true });
    }
    const previous = page.locator("a", { hasText: "<< Previous Page" });
    await Promise.all([page.waitForNavigation(), previous.click()]);
    state = await pageState(page);
    const [previousFirst, previousLast] = parseRange(state, `page ${number}, previous`);
    check(previousFirst === first - 15 && previousLast === first - 1,
          `page ${number}, previous: ${state.range}`);
    check(state.rows === 15, `page ${number}, previous: ${state.rows} rows`);
    const next = page.locator("a", { hasText: "Next Page >>" });
    await Promise.all([page.waitForNavigation(), next.click()]);
    state = await pageState(page);
    check(parseRange(state, `page ${number}, next`)[0] === first,
          `page ${number}, next: ${state.range}`);
  }
}

// A limit posted on page 44 reaches the record at once and kestrel.cfg
// through the service.
async function logSettingsAreStoredAndSaved(page) {
  await open(page, "page=44");
  await page.fill("input[name=EvtFileLen]", "48000");
  await Promise.all([page.waitForNavigation(), page.click("input[name=EvtApply]")]);
  const state = await pageState(page);
  check(await page.inputValue("input[name=EvtFileLen]") === "48000", "page 44 does not show 48000");
  check(!state.body.includes("Data Entry Error"), "48000 was rejected");
  check(recordInt32(EVT_FILE_LEN) === 48000,
        `EvtFileLen in the record: ${recordInt32(EVT_FILE_LEN)}`);
  await waitFor(() => configInt32(CONFIG_EVT_FILE_LEN) === 48000, 10000,
                "the service to save EvtFileLen 48000");
}

const checks = [
  ["EveryPageLoadsWithStatus200", everyPageLoads],
  ["TabsAndSubMenusLeadWhereTheyBelong", tabsAndSubMenusLead],
  ["MeasuredPageShowsAPowerFailureAfterItsRefresh", measuredPageFollowsAPowerFailure],
  ["LogPagesPageThroughMoreThanFifteenLines", logPagesPageThrough],
  ["LogSettingsAreStoredInTheRecordAndSavedByTheService", logSettingsAreStoredAndSaved],
];

const { context, close } = await launchChromium({ width: 800, height: 600 });
let failed = 0;
try {
  const page = await context.newPage();
  page.setDefaultTimeout(15000);
  for (const [name, run] of checks) {
    try {
      await run(page);
      console.log(`[ OK ] ${name}`);
    } catch (error) {
      failed += 1;
      console.log(`[FAIL] ${name}: ${error.message}`);
    }
  }
} finally {
  await close();
}
console.log(`${checks.length - failed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
