// The management pages in a real browser, through a real web server, with the
// service and a simulated UPS behind them. Run by tests/e2e/pages_e2e_test.py,
// which starts all of that and passes a JSON object as the one argument:
//   base       "http://127.0.0.1:PORT"
//   upssim     the upssim binary; ctl its control socket
//   record     the status record's file; config the service's kestrel.cfg
//   artefacts  where the screenshots go
//   hostile    the text planted in every field and file the pages print
//   user, password  the login that webaccess gave lighttpd
//   upssimLog  upssim's log of the commands it received
// Prints one line per check and exits 1 when any failed.
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { launchChromium } from "./chromium.mjs";

const settings = JSON.parse(process.argv[2]);
const program = `${settings.base}/cgi-bin/kestrel.exe`;

const EVT_FILE_LEN = 75052;
// Where the same field sits in kestrel.cfg, the image of the persisted slices.
const CONFIG_EVT_FILE_LEN = 73866;
const CONFIG_ID_NAME = 0;
// mailEnable of "Power failure"'s action record; the schedule's count.
const POWER_FAILURE_MAIL_ENABLE = 3168 + 368;
const SCHEDULE_COUNT = 75072;

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
    // A new document, counted once parsed: behind the login each image
    // takes a second request, so "load" may come after the new value shows.
    let reloads = 0;
    page.on("domcontentloaded", () => ++reloads);
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

const basic = (user, password) =>
  "Basic " + Buffer.from(`${user}:${password}`).toString("base64");
// The HTTP status of a page fetched with a login (none: without one).
async function statusWith(user, password) {
  const headers = user === undefined ? {} : { Authorization: basic(user, password) };
  return (await fetch(`${program}?page=11`, { headers })).status;
}

async function submit(page, button) {
  await Promise.all([page.waitForNavigation(), page.click(`input[name=${button}]`)]);
  return pageState(page);
}

// Nothing is shown without the login the run was given.
async function loginIsRequired() {
  check((await statusWith()) === 401, "a request without a login was answered");
  check((await statusWith(settings.user, "wrong")) === 401, "a wrong password was taken");
  check((await statusWith(settings.user, settings.password)) === 200, "the run's login failed");
}

// The identification name from page 21 shows on page 11 and reaches
// kestrel.cfg when the service saves.
async function identificationNameIsShownAndSaved(page) {
  await open(page, "page=21");
  await page.fill("input[name=idName]", "Rack 7 UPS");
  await submit(page, "apply");
  const state = await open(page, "page=11");
  check(state.values["Id Name"] === "Rack 7 UPS", `page 11 shows "${state.values["Id Name"]}"`);
  const config = () => {
    try {
      return readFileSync(settings.config).subarray(CONFIG_ID_NAME, CONFIG_ID_NAME + 11);
    } catch {
      return Buffer.alloc(0);
    }
  };
  await waitFor(() => config().equals(Buffer.from("Rack 7 UPS\0")), 10000,
                "the service to save the identification name");
}

// E-mail for "Power failure": chosen from page 32's list, ticked, applied.
async function mailForPowerFailureIsEnabled(page) {
  await open(page, "page=32");
  await page.selectOption("select[name=eventSelect]", { label: "Power failure" });
  const state = await submit(page, "eventSelBtn");
  check(state.body.includes("Power failure - Send email"), "no e-mail box for Power failure");
  check(!(await page.isChecked("input[name=mailEnable]")), "mail was enabled before");
  await page.check("input[name=mailEnable]");
  await submit(page, "eventApplyBtn");
  check(await page.isChecked("input[name=mailEnable]"), "page 32 shows mail disabled");
  check(recordInt32(POWER_FAILURE_MAIL_ENABLE) === 1, "mailEnable is not set in the record");
}

// A quick battery test next year at 08:30, added on page 33.
async function scheduleEntryIsAdded(page) {
  const before = readFileSync(settings.record).readInt16LE(SCHEDULE_COUNT);
  await open(page, "page=31");
  await Promise.all([page.waitForNavigation(), page.click("a.link >> text=Schedule")]);
  const year = String(new Date().getFullYear() + 1);
  await page.selectOption("select[name=actSelName]", { label: "Quick Battery Test" });
  await page.selectOption("select[name=monthSelName]", "3");
  await page.selectOption("select[name=daySelName]", "14");
  await page.selectOption("select[name=yrSelName]", year);
  await page.selectOption("select[name=hourSelName]", "8");
  await page.selectOption("select[name=minSelName]", "30");
  await page.selectOption("select[name=freqSelName]", { label: "Weekly" });
  const state = await submit(page, "addSchName");
  const weekday = new Date(Number(year), 2, 14).toLocaleDateString("en-US", { weekday: "long" });
  const line = `Quick Battery Test - ${weekday}, 3 14, ${year}, 8:30:`;
  check(state.body.includes(line), `the schedule does not list "${line}"`);
  check(readFileSync(settings.record).readInt16LE(SCHEDULE_COUNT) === before + 1,
        "scheduleCount did not grow by one");
  await page.screenshot({ path: `${settings.artefacts}/page33.png`, fullPage: true });
}

// The self-test button reaches upssim, and page 51, reloading itself, shows
// the test's result.
async function selfTestRunsAndShowsItsResult(page) {
  const tests = () => readFileSync(settings.upssimLog, "latin1").split("\n")
    .filter((line) => line.includes(' rx "T\\r"')).length;
  const before = tests();
  await open(page, "page=51");
  await submit(page, "tstups");
  await waitFor(() => tests() > before, 10000, "upssim to get the self-test command");
  await waitFor(async () => {
    const body = await page.evaluate(() => document.body.innerText).catch(() => "");
    return body.includes("Test Passed");
  }, 40000, "page 51 to show \"Test Passed\"");
}

// A new password on page 61: the old one is refused from then on, the new
// one shows the pages.
async function changedPasswordReplacesTheOld(page) {
  await open(page, "page=61");
  await page.fill("input[name=PwdName1]", "n3w-Secret");
  await page.fill("input[name=PwdName2]", "n3w-Secret");
  await page.click("input[name=ApplyUser]");
  await waitFor(async () => (await statusWith(settings.user, settings.password)) === 401, 5000,
                "the old password to be refused");
  const fresh = await launchChromium({ credentials: { username: settings.user,
                                                      password: "n3w-Secret" } });
  try {
    const newPage = await fresh.context.newPage();
    const state = await open(newPage, "page=61");
    check(state.tab === "System", "page 61 did not open with the new password");
    check(await newPage.inputValue("input[name=UserName]") === settings.user,
          "page 61 shows another user");
  } finally {
    await fresh.close();
  }
}

const checks = [
  ["LoginIsRequired", loginIsRequired],
  ["EveryPageLoadsWithStatus200", everyPageLoads],
  ["TabsAndSubMenusLeadWhereTheyBelong", tabsAndSubMenusLead],
  ["MeasuredPageShowsAPowerFailureAfterItsRefresh", measuredPageFollowsAPowerFailure],
  ["LogPagesPageThroughMoreThanFifteenLines", logPagesPageThrough],
  ["LogSettingsAreStoredInTheRecordAndSavedByTheService", logSettingsAreStoredAndSaved],
  ["IdentificationNameIsShownOnPage11AndSaved", identificationNameIsShownAndSaved],
  ["MailForPowerFailureIsEnabledInTheRecord", mailForPowerFailureIsEnabled],
  ["ScheduleEntryIsAddedAndListed", scheduleEntryIsAdded],
  ["SelfTestReachesTheUpsAndItsResultShows", selfTestRunsAndShowsItsResult],
  // Last: the browser's login is the old one after it.
  ["ChangedPasswordReplacesTheOld", changedPasswordReplacesTheOld],
];

const { context, close } = await launchChromium({
  width: 800, height: 600,
  credentials: { username: settings.user, password: settings.password },
});
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
