// Saves screenshots of pages: node screenshot.mjs OUTPUT_FOLDER URL...
// Each URL's picture is named after its query ("page=13" -> page13.png).
import { launchChromium } from "./chromium.mjs";

const [folder, ...urls] = process.argv.slice(2);
const { context, close } = await launchChromium();
try {
  const page = await context.newPage();
  for (const url of urls) {
    const response = await page.goto(url);
    const name = (new URL(url).searchParams.get("page") ?? "index").replace(/\W/g, "");
    await page.screenshot({ path: `${folder}/page${name}.png`, fullPage: true });
    console.log(`${response.status()} ${url} -> ${folder}/page${name}.png`);
  }
} finally {
  await close();
}
