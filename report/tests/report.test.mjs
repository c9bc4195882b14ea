// The report page in a real headless browser: it renders its plot with one
// point per kept frame, the slider moves the cab to that frame, and the page
// asks for nothing over the network.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";

const sim = process.env.CORVANE_SIM;
const scenario = process.env.CORVANE_SCENARIO;
const work = mkdtempSync(join(tmpdir(), "corvane-report-"));
const reportFile = join(work, "report.html");
const csvFile = join(work, "frames.csv");
let browser, page;
const requests = [];

before(async () => {
  execFileSync(sim, ["run", "--quiet", "--report", reportFile, "--csv", csvFile, scenario]);
  browser = await chromium.launch({ executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium" });
  page = await browser.newPage({ viewport: { width: 1300, height: 1000 } });
  page.on("request", r => requests.push(r.url()));
  await page.goto("file://" + reportFile);
  await page.waitForFunction(() => window.speedPlot !== undefined);
});

after(async () => {
  if (process.env.CORVANE_SCREENSHOT) await page.screenshot({ path: process.env.CORVANE_SCREENSHOT, fullPage: true });
  await browser?.close();
  rmSync(work, { recursive: true, force: true });
});

// The simulator keeps every sixth frame at 60 frames a second, and the last.
function csvRows() {
  const [header, ...rows] = readFileSync(csvFile, "utf8").trim().split("\n");
  const names = header.split(",");
  return rows.map(r => Object.fromEntries(r.split(",").map((v, i) => [names[i], Number(v)])));
}

test("the speed plot has a point for every kept frame", async () => {
  const rows = csvRows();
  const points = await page.evaluate(() => window.speedPlot.data[0].length);
  const n = rows.length;
  assert.equal(points, Math.ceil(n / 6) + ((n - 1) % 6 ? 1 : 0));
  const canvases = await page.$$eval("#speed canvas, #gradient canvas, #notches canvas", cs => cs.map(c => c.width * c.height));
  assert.equal(canvases.length, 3);
  assert.ok(canvases.every(area => area > 0));
});

test("the speed plot's target and line limit are the cab's and the beacons'", async () => {
  const rows = csvRows();
  const [target, limit] = await page.evaluate(() => [window.speedPlot.data[2], window.speedPlot.data[3]]);
  target.forEach((t, i) => { if (6 * i < rows.length) assert.equal(t, rows[6 * i].target_kmh, `point ${i}`); });
  assert.ok(limit.every(l => l === 60), "the demo line's limits are all 60 km/h");
});

test("the slider shows the cab of that moment", async () => {
  const rows = csvRows();
  // A moment during the first dwell: doors open, countdown in seconds.
  const index = rows.findIndex((r, i) => i % 6 === 0 && r.distance_unit === 1 && r.time_ms > rows[0].time_ms + 60000);
  assert.ok(index > 0);
  const row = rows[index];
  await page.$eval("#slider", (s, v) => { s.value = v; s.dispatchEvent(new Event("input")); }, index / 6);
  const clock = new Date(row.time_ms).toISOString().substring(11, 19);
  assert.equal(await page.textContent("#time"), clock);
  assert.equal(await page.textContent("#unit"), "s");
  assert.equal(await page.textContent("#target"), String(row.target_kmh));
  assert.equal(await page.$eval("#docked", e => e.classList.contains("on")), row.docked === 1);
  assert.equal(await page.textContent("#mode"), "automatic");
});

test("the stop table lists every station with its moves and lateness", async () => {
  const rows = await page.$$eval("#stops tbody tr", trs => trs.map(tr => [...tr.children].map(td => td.textContent)));
  const headers = await page.$$eval("#stops th", ths => ths.map(th => th.textContent));
  const column = name => rows.map(r => r[headers.indexOf(name)]);
  assert.deepEqual(column("station"), ["Alder", "Birchfield", "Cedar Cross", "Dunmore"]);
  assert.deepEqual(column("moves"), ["0", "0", "0", "0"]);
  assert.deepEqual(column("late s"), ["0", "0", "0", "-"]);
  assert.deepEqual(column("error cm"), ["0", "+21", "+15", "+21"]);
  assert.deepEqual(column("departed"), ["08:00:30", "08:03:00", "08:05:30", "-"]);
});

test("station names on a crowded line stand in rows, clear of each other and inside the plot", async () => {
  const crowded = join(work, "crowded.toml");
  const stations = Array.from({ length: 14 }, (_, i) => `{ name = "Station number ${i}", stop = ${100 + i * 120} }`);
  // A train without brakes coasts the whole line at 60 km/h.
  writeFileSync(crowded, `run = { start_speed = 60, end_location = 1800 }\n` +
    `dynamics = { decel_by_notch = [0, 0, 0, 0, 0, 0, 0, 0, 0, 0], resistance = 0 }\n` +
    `station = [ ${stations.join(", ")} ]\n`);
  const file = join(work, "crowded.html");
  execFileSync(sim, ["run", "--quiet", "--report", file, crowded]);
  const other = await browser.newPage({ viewport: { width: 900, height: 800 } });
  await other.goto("file://" + file);
  await other.waitForFunction(() => window.speedPlot !== undefined);
  const { labels, left, right } = await other.evaluate(() => ({
    labels: window.stationLabels, left: speedPlot.bbox.left, right: speedPlot.bbox.left + speedPlot.bbox.width }));
  assert.equal(labels.length, 14);
  for (const a of labels) {
    assert.ok(a.left >= left && a.right <= right, a.name);
    for (const b of labels) {
      if (a !== b && a.row === b.row) assert.ok(a.right <= b.left || b.right <= a.left, `${a.name} / ${b.name}`);
    }
  }
  assert.ok(new Set(labels.map(l => l.row)).size > 1);
  await other.close();
});

test("the gradient strip has its scale, level in the middle", async () => {
  const { min, max, label } = await page.evaluate(() => ({
    min: gradientPlot.scales.y.min, max: gradientPlot.scales.y.max, label: gradientPlot.axes[1].label }));
  assert.equal(min, -max);
  assert.ok(max >= 5);
  assert.equal(label, "‰");
});

test("each stop up close: speed down to the stand under the stopping curve of its style", async () => {
  const closeUps = await page.evaluate(() => window.closeUps.map(u => ({ data: u.data })));
  const titles = await page.$$eval("#closeups h3", hs => hs.map(h => h.textContent));
  assert.deepEqual(titles, ["Birchfield (style 1)", "Cedar Cross (style 3)", "Dunmore (style 1)"]);
  const errors = await page.$$eval("#stops tbody tr td:nth-child(4)", tds => tds.map(td => Number(td.textContent)));
  closeUps.forEach(({ data: [distance, speed, curve] }, i) => {
    const [decel, offset] = titles[i].includes("style 3") ? [0.7, 0.1] : [0.75, 0.14];
    const near = distance.reduce((best, d, j) => Math.abs(d + 10) < Math.abs(distance[best] + 10) ? j : best, 0);
    assert.ok(Math.abs(distance[near] + 10) < 1, titles[i]);
    assert.ok(Math.abs(curve[near] - 3.6 * Math.sqrt(2 * decel * (-distance[near] + offset))) < 0.01, titles[i]);
    assert.ok(distance[0] >= -60 && distance[0] < -55, titles[i]);
    assert.equal(speed.at(-1), 0);
    // The speeds are the run's own, frame by frame.
    const stop = [1800, 3200, 4500][i];
    const byPlace = new Map(csvRows().map(r => [(r.location_m - stop).toFixed(3), r.speed_kmh]));
    distance.slice(0, -1).forEach((d, j) => {
      const speedThere = byPlace.get(d.toFixed(3));
      if (speedThere !== undefined) assert.ok(Math.abs(speed[j] - speedThere) <= 0.006, `${titles[i]} at ${d}`);
    });
    assert.ok(Math.abs(distance.at(-1) * 100 - errors[i + 1]) <= 1, titles[i]);
  });
});

test("a careless driver's interventions are marked on the speed plot", async () => {
  const careless = join(work, "careless.toml");
  writeFileSync(careless, readFileSync(process.env.CORVANE_MANUAL, "utf8").replace(/^margin = .*$/m, "margin = -7"));
  const file = join(work, "careless.html");
  execFileSync(sim, ["run", "--quiet", "--report", file, careless]);
  const other = await browser.newPage();
  await other.goto("file://" + file);
  await other.waitForFunction(() => window.speedPlot !== undefined);
  const kinds = await other.evaluate(() => run.interventions.map(i => i.kind));
  const where = await other.evaluate(() => run.interventions.map(i => i.location));
  const summary = execFileSync(sim, ["run", "--quiet", careless], { encoding: "utf8" });
  const listed = [...summary.matchAll(/^\d\d:\d\d:\d\d +([\d.]+) m .*target/gm)].map(m => Number(m[1]));
  assert.deepEqual(where, listed);
  assert.ok(kinds.includes("speed trip") && kinds.includes("brake notice"), kinds.join());
  assert.match(await other.textContent("#interventions"), new RegExp(`^${kinds.length} interventions`));
  assert.equal(await page.textContent("#interventions"), "no intervention of the supervision");
  await other.close();
});

test("a sweep's page shows every run's stop as a dot, the misses outside the docked window", async () => {
  const file = join(work, "sweep.html");
  execFileSync(sim, ["sweep", "--report", file, "--set", "sweep.brake_scale=[0.9,1.0]",
                     "--set", "sweep.seed=[1,2]", scenario]);
  const swept = await browser.newPage();
  await swept.goto("file://" + file);
  await swept.waitForFunction(() => window.speedPlot !== undefined);
  assert.equal(await swept.isVisible("#sweep"), true);
  assert.equal(await page.isVisible("#sweep"), false);
  const dots = await swept.$$eval("#sweepdots circle.dot", cs => cs.map(c => c.getAttribute("fill")));
  assert.equal(dots.length, 4 * 4, "four runs at four stations");
  const summary = execFileSync(sim, ["sweep", "--set", "sweep.brake_scale=[0.9,1.0]", "--set", "sweep.seed=[1,2]",
                                     scenario], { encoding: "utf8" });
  const docked = [...summary.matchAll(/^\S.*?\s+4\s+(\d+)\s/gm)].reduce((n, m) => n + Number(m[1]), 0);
  assert.equal(dots.filter(f => f === "#06c").length, docked);
  assert.match(await swept.textContent("#sweepnote"), /^4 runs; the run below is the worst: brake_scale/);
  await swept.close();
});

test("the page makes no network request", () => {
  assert.deepEqual(requests.filter(u => !u.startsWith("file://")), []);
});
