// The page of a laid-out line in a real headless browser: both plots drawn,
// the beacons' limits within the line's, front and rear, a band and a
// verdict for each station laid out, every beacon listed, and nothing
// asked for over the network.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { chromium } from "playwright-core";

const sim = process.env.CORVANE_SIM;
const line = join(dirname(process.env.CORVANE_SCENARIO), "layout", "line.toml");
const work = mkdtempSync(join(tmpdir(), "corvane-line-"));
const pageFile = join(work, "line.html"), laidFile = join(work, "laid.toml");
let browser, page;
const requests = [];

before(async () => {
  execFileSync(sim, ["layout", line, "-o", laidFile, "--report", pageFile]);
  browser = await chromium.launch({ executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium" });
  page = await browser.newPage({ viewport: { width: 1300, height: 1000 } });
  page.on("request", r => requests.push(r.url()));
  await page.goto("file://" + pageFile);
  await page.waitForFunction(() => window.profilePlot !== undefined);
});

after(async () => {
  await browser?.close();
  rmSync(work, { recursive: true, force: true });
});

test("the limits and the profile are drawn", async () => {
  const areas = await page.$$eval("#limits canvas, #profile canvas", cs => cs.map(c => c.width * c.height));
  assert.equal(areas.length, 2);
  assert.ok(areas.every(area => area > 0));
});

test("the written beacons allow no more than the line's limit, front and rear", async () => {
  const p = await page.evaluate(() => window.line.profile);
  // A braking curve may run up to the run's 3 km/h margin above it.
  p.location.forEach((x, i) => {
    for (const end of ["front", "rear"]) {
      if (p[end][i] !== null) assert.ok(p[end][i] <= p.declared[i] + 3, `${end} at ${x} m: ${p[end][i]} km/h`);
    }
  });
  assert.ok(p.front.some((v, i) => v !== null && v < p.declared[i]), "a curve before the 30 km/h limit");
});

test("each station laid out has its band of stops and the verdict of the file's comment", async () => {
  const comments = readFileSync(laidFile, "utf8").split("\n")
    .filter(l => /^  # [^:]+: code/.test(l)).map(l => l.slice(4));
  const [bands, verdicts] = await page.evaluate(() => [
    document.querySelectorAll("#bands .band").length,
    [...document.querySelectorAll("#verdicts .verdict")].map(p => p.textContent)]);
  assert.equal(bands, comments.length);
  for (const c of comments) assert.ok(verdicts.includes(c), c);
  const dots = await page.$$eval("#bands .dot", ds => ds.length);
  const runs = await page.evaluate(() => window.line.runs);
  assert.equal(runs, 150, "the written sweep's runs, as the summary counts them");
  assert.equal(dots, comments.length * runs, "a dot a run at each station");
});

test("every beacon placed is listed", async () => {
  const written = readFileSync(laidFile, "utf8").split("\n").filter(l => l.startsWith("  { location = "));
  const rows = await page.$$eval("#beacons tbody tr:not(.group)", rs => rs.map(r => r.cells[1].textContent));
  assert.deepEqual(rows, written.map(l => l.replace(/^  \{ location = [^,]+, /, "").replace(/ \},$/, "")));
});

test("the page asks for nothing over the network", () => {
  assert.deepEqual(requests.filter(u => !u.startsWith("file://")), []);
});
