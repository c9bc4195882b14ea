// corvane-sim layout: the line's beacons chosen by running the train, and
// the scenario written again with them.
#include <fmt/format.h>

#include <set>

#include "cli/commands.h"
#include "cli/session.h"
#include "layout/layout.h"
#include "layout/writer.h"
#include "model/beacon_codes.h"
#include "scenario/reader.h"

namespace {

// Each station's choice and how its runs stopped; true when every one docks.
bool PrintStations(const Layout& layout) {
  fmt::print("{:<16} {:>4} {:>5} {:>8} {:>9} {:>8} {:>8} {:>5}\n", "station", "code", "style",
             "in km/h", "stop. pt", "worst cm", "median", "runs");
  bool docks = true;
  for (const StationLayout& st : layout.stations) {
    fmt::print("{:<16} {:>4} {:>5} {:>8} {:>9.0f} {:>8} {:>8} {:>5}\n", st.station->name, st.code,
               beacon::FinalBrakingStyle(st.code),
               st.runs > 0 ? fmt::format("{:.0f}", st.approach) : "-", st.stoppingPoint,
               st.runs > 0 ? StopErrorText(st.worstCm) : "-",
               st.runs > 0 ? StopErrorText(st.medianCm) : "-", st.runs);
    docks &= st.docks;
  }
  for (const StationLayout& st : layout.stations) {
    if (!st.docks) fmt::print("{}\n", st.why);
  }
  return docks;
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
  if (!Apart(o, {{"-o", o.output}}) || !NamesApart(scenario)) return kExitBadInput;
  if (PluginApi api{}; !Loaded(o.plugin, api)) return kExitBadInput;
  std::string error;
  std::optional<OutputFile> file = OutputFile::Open(o.output, error);  // before the work
  if (!file) {
    Fail(error);
    return kExitCannotWrite;
  }
  Layout layout;
  try {
    layout = LayOut(scenario, WorkerOptions(o));
  } catch (const LayoutInterrupted&) {
    Fail("interrupted; no file was written");
    return 128 + gInterrupted;
  }
  const std::string text = LayoutFile(scenario, layout);
  file->Write(text);
  if (!file->Commit(error)) {
    Fail(error);
    return kExitCannotWrite;
  }
  const bool docks = PrintStations(layout);
  // What the layout could not mend, in the author's description (a
  // departure the train cannot keep), is said by the lint of the text written.
  const size_t warnings = PrintLint(ParseScenario(text, o.output));
  if (!FlushStdout()) return kExitCannotWrite;
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
  AddPlugin(*layout, o);
  AddWorkers(*layout, o);
  layout->footer(
      "Exit status:\n"
      "  0      every station docks and the written file lints clean\n"
      "  1      a station does not dock, or the written file warns\n"
      "  2      a bad scenario or plug-in, a line that cannot be laid out, or usage;\n"
      "         the output over an input\n"
      "  3      the output or the standard output cannot be written\n"
      "  128+N  interrupted by signal N (130 SIGINT, 143 SIGTERM); nothing written\n");
  return {layout, LayOutLine};
}
