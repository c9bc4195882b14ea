// corvane-sim layout: the line's beacons chosen by running the train, and
// the scenario written again with them.
#include <fmt/format.h>
#include <unistd.h>

#include <set>

#include "cli/commands.h"
#include "cli/line_page_data.h"
#include "cli/session.h"
#include "layout/layout.h"
#include "layout/trials.h"
#include "layout/writer.h"
#include "model/beacon_codes.h"
#include "report/line_page.h"
#include "scenario/reader.h"

namespace {

// Each station's choice and how the written line's runs stopped there,
// where the train first stood: a stop the driver closed up is not docked.
// True when every one docks and no run broke a limit.
bool PrintStations(std::FILE* to, const Layout& layout) {
  fmt::print(to, "{:<16} {:>4} {:>5} {:>8} {:>6} {:>9} {:>8} {:>8} {:>6} {:>5}\n", "station",
             "code", "style", "in km/h", "curve", "stop. pt", "worst cm", "median", "closed",
             "runs");
  bool docks = true;
  for (const StationLayout& st : layout.stations) {
    const bool ran = st.runs > 0;
    const bool placed = st.code != 0;  // a station behind the run's start gets nothing
    fmt::print(to, "{:<16} {:>4} {:>5} {:>8} {:>6} {:>9} {:>8} {:>8} {:>6} {:>5}\n",
               st.station->name, placed ? std::to_string(st.code) : "-",
               placed ? std::to_string(beacon::FinalBrakingStyle(st.code)) : "-",
               ran ? fmt::format("{:.0f}", st.approach) : "-",
               ran && st.curveEnd > 0 ? fmt::format("{:.0f}", st.curveEnd) : "-",
               placed ? fmt::format("{:.0f}", st.stoppingPoint) : "-",
               ran ? StopErrorText(st.worstCm) : "-", ran ? StopErrorText(st.medianCm) : "-",
               ran ? std::to_string(st.closedUp) : "-", st.runs);
    docks &= st.docks;
  }
  for (const StationLayout& st : layout.stations) {
    if (!st.docks) fmt::print(to, "{}\n", st.why);
  }
  if (layout.runsAboveALimit > 0) {
    fmt::print(to, "{} runs of the written sweep ran above a limit of the line\n",
               layout.runsAboveALimit);
  }
  return docks && layout.runsAboveALimit == 0;
}

// The layout writes each station's name into its beacons: one name for two
// stations would not read back.
bool NamesApart(const Scenario& s) {
  std::set<std::string> seen;
  for (const Station& st : s.stations) {
    if (seen.insert(st.name).second) continue;
    fmt::print(stderr, "corvane-sim: {}:{}: station {}: a second station of that name\n", s.path,
               st.line, st.name);
    return false;
  }
  return true;
}

int LayOutLine(const Options& o, const Scenario& scenario) {
  if (!Apart(o, {{"-o", o.output}, {"--report", o.report}}) || !NamesApart(scenario))
    return kExitBadInput;
  if (PluginApi api{}; !Loaded(o.plugin, api)) return kExitBadInput;
  std::string error;
  std::optional<OutputFile> file = OutputFile::Open(o.output, error);  // before the work
  std::optional<OutputFile> page =
      file && !o.report.empty() ? OutputFile::Open(o.report, error) : std::nullopt;
  if (!file || (!o.report.empty() && !page)) {
    Fail(error);
    return kExitCannotWrite;
  }
  SweepOptions options = WorkerOptions(o);
  const bool progress = isatty(STDERR_FILENO);
  if (progress) {
    options.progress = [](size_t station, size_t stations) {
      fmt::print(stderr, "\rlaying out station {} of {}\r", station + 1, stations);
    };
  }
  Layout layout;
  try {
    layout = LayOut(scenario, options);
  } catch (const LayoutInterrupted&) {
    if (progress) fmt::print(stderr, "\n");  // past the progress line and the ^C echoed on it
    Fail("interrupted; no file was written");
    return 128 + gInterrupted;
  } catch (const TrialFailed& e) {
    Fail(fmt::format("{}; no file was written", e.what()));
    return kExitCannotWrite;
  }
  const std::string text = LayoutFile(scenario, layout);
  const Scenario written = ParseScenario(text, o.output);
  file->Write(text);
  if (page) page->Write(RenderLinePage(LinePageData(written, layout)));
  // Written to the standard output, the file is not mixed with the table.
  const bool streamed = file->Streamed() || (page && page->Streamed());
  const bool docks = PrintStations(streamed ? stderr : stdout, layout);
  // What the layout could not mend, in the author's description (a
  // departure the train cannot keep), is said by the lint of the text written.
  const size_t warnings = PrintLint(written);
  // Nothing replaced unless everything, the table too, was written whole.
  if (std::string error; !FlushStdout() || !CommitAll({&file, &page}, error)) {
    if (!error.empty()) Fail(error);
    return kExitCannotWrite;
  }
  return docks && warnings == 0 ? 0 : kExitFailed;
}

}  // namespace

Command AddLayout(CLI::App& app, Options& o) {
  CLI::App* layout = app.add_subcommand(
      "layout",
      "Lay out the line's beacons by running the train, and write the scenario with them");
  AddScenarioFile(*layout, o);
  layout->add_option("-o,--output", o.output, "The scenario file to write")
      ->required()
      ->check(kPath);
  layout
      ->add_option("--report", o.report,
                   "Write the line's page: its limits, profile, beacons and each station's "
                   "stops over the sweep")
      ->check(kPath);
  AddPlugin(*layout, o);
  AddWorkers(*layout, o);
  layout->footer(
      "Exit status:\n"
      "  0      every station docks and the written file lints clean\n"
      "  1      a station does not dock, a run of the written sweep breaks a limit,\n"
      "         or the written file warns\n"
      "  2      a bad scenario or plug-in, a line that cannot be laid out, or usage;\n"
      "         the output over an input\n"
      "  3      the output or the standard output cannot be written, or a run failed\n"
      "         (the plug-in crashed, or ran over --run-limit)\n"
      "  128+N  interrupted by signal N (130 SIGINT, 143 SIGTERM); nothing written\n");
  return {layout, LayOutLine};
}
