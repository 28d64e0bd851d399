// Debian's chromium, headless, driven by playwright-core: never a browser
// that playwright would download. Each launch gets a profile folder of its
// own, removed at close.
import { chromium } from "playwright-core";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

export const CHROMIUM = process.env.CHROMIUM ?? "/usr/bin/chromium";

// The browser context and its close(); credentials ({ username, password })
// answer the site's login.
export async function launchChromium({ width = 800, height = 600, credentials } = {}) {
  const profile = mkdtempSync(join(tmpdir(), "orvik-chromium-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width, height },
    httpCredentials: credentials,
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
    ],
  });
  return {
    context,
    close: async () => {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
