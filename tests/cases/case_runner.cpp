// Runs the plug-in's case files. Each "== title" block is one test, started
// from a freshly loaded library; its lines are tokens run left to right:
//   name=value          sets a field of the library or the host
//   name==value         checks one (also != < > <= >= and ~value,tolerance)
//   Word or Word:a,b    a frame step, a host call or a macro ("def Word ...");
//                       Until:check,seconds runs frames until the check holds
// "rows TOKENS" makes a template; each "| v1 v2 ..." after it runs the
// template with $1, $2 ... replaced, several rows to a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "confload.h"
#include "corvane_frame.h"
#include "fresh_library.h"
#include "tools.h"
#include "train_host.h"
#include "traincontrol.h"
#include "windshield.h"

namespace {

using Tokens = std::vector<std::string>;

// A field that the cases read and, unless it is computed, set.
struct Slot {
  template <typename T>
  Slot(T* x)
      : get([x] { return static_cast<double>(*x); }),
        set([x](double v) { *x = static_cast<T>(v); }) {}
  explicit Slot(std::function<double()> computed) : get(std::move(computed)) {}
  std::function<double()> get;
  std::function<void(double)> set;
};

// A line of a block, its row filled in.
struct Step {
  std::string where;  // file:line, and the row
  Tokens tokens;
};

struct Block {
  std::string file, name;
  std::vector<Step> steps;
};
void PrintTo(const Block& block, std::ostream* out) { *out << block.name; }

// By file; those of common.cases serve every file.
std::map<std::string, std::map<std::string, Tokens>> macros;

Tokens Split(const std::string& text, char by = ' ') {
  Tokens out;
  std::string token;
  std::istringstream in(text);
  while (std::getline(in, token, by)) {
    if (by != ' ' || !token.empty()) out.push_back(token);
  }
  return out;
}

std::string Substitute(std::string token, const Tokens& args) {
  for (size_t i = args.size(); i > 0; --i) {  // $10 before $1
    const std::string mark = "$" + std::to_string(i);
    for (size_t at; (at = token.find(mark)) != std::string::npos;) {
      token.replace(at, mark.size(), args[i - 1]);
    }
  }
  return token;
}

class CaseRun {
 public:
  explicit CaseRun(const std::string& file) : file_(file) { FreshLibrary(); }

  // False when a step cannot go on (a wait that timed out, a bad token).
  bool Run(const Tokens& tokens, const std::string& where) {
    for (const std::string& token : tokens) {
      if (!RunToken(token, where)) return false;
    }
    return true;
  }

 private:
  // A check or a setting: the field, its operator and the value's text.
  struct Test {
    Slot slot;
    std::string op, value;
  };

  bool RunToken(const std::string& token, const std::string& where) {
    if (std::isupper(static_cast<unsigned char>(token[0]))) return Act(token, where);
    const std::optional<Test> test = Parse(token, where);
    if (!test) return false;
    if (test->op == "=" && !test->slot.set) return Fail(where, token + ": read-only");
    if (test->op == "=")
      test->slot.set(Value(test->value, where));
    else if (!Holds(*test, where))
      ADD_FAILURE() << where << ": " << token << ", is " << test->slot.get();
    return true;
  }

  std::optional<Test> Parse(const std::string& token, const std::string& where) {
    const size_t at = token.find_first_of("=!<>~");
    const std::optional<Slot> slot = Find(token.substr(0, at));
    if (at == std::string::npos || !slot) {
      Fail(where, "no field to check or set: " + token);
      return std::nullopt;
    }
    const size_t length = token[at + 1] == '=' ? 2 : 1;
    return Test{*slot, token.substr(at, length), token.substr(at + length)};
  }

  bool Holds(const Test& test, const std::string& where) {
    const Tokens parts = Split(test.value, ',');
    const double a = test.slot.get(), e = Value(parts.at(0), where);
    const std::string& op = test.op;
    if (op == "~") return std::abs(a - e) <= Value(parts.at(1), where);
    return op == "=="   ? a == e || (std::isnan(a) && std::isnan(e))
           : op == "!=" ? a != e
           : op == "<=" ? a <= e
           : op == ">=" ? a >= e
           : op == "<"  ? a < e
                        : a > e;
  }

  bool Act(const std::string& token, const std::string& where) {
    const size_t colon = token.find(':');
    const std::string word = token.substr(0, colon);
    const Tokens args = colon == std::string::npos ? Tokens{} : Split(token.substr(colon + 1), ',');
    for (const std::string& file : {file_, std::string("common.cases")}) {
      const auto macro = macros[file].find(word);
      if (macro == macros[file].end()) continue;
      Tokens expanded;
      for (const std::string& t : macro->second) expanded.push_back(Substitute(t, args));
      return Run(expanded, where);
    }
    if (word == "Until") {
      const std::optional<Test> test = Parse(args.at(0), where);
      if (!test) return false;
      if (host_.RunUntil([&] { return Holds(*test, where); }, Value(args.at(1), where)))
        return true;
      return Fail(where, args[0] + " never held");
    }
    std::vector<double> n;
    for (const std::string& a : args) n.push_back(Value(a, where));
    n.resize(3, 0);
    const auto i = [&](int k) { return static_cast<int32_t>(n[k]); };
    const ATS_VEHICLESPEC spec{i(0), i(1), 0, 0, i(2)},
        started{8, 5, 2, 3, args.size() > 1 ? i(1) : 6};
    // clang-format off
#define STEP(step) {#step, [&] { step(f_); }}
    const std::map<std::string, std::function<void()>> actions = {
        STEP(SelectStopAndLimit), STEP(ComputeCurveSpeed), STEP(ComputeTargetSpeed),
        STEP(DriveAutomatically), STEP(ExecuteStopBraking), STEP(ShowStationIndications),
        STEP(ShowCab), STEP(UpdateCctv),
        {"SetBrakeHandle", [&] { SetBrakeHandle(i(0)); }},
        {"Start", [&] { host_.Start(i(0), started); }},
        {"Load", [&] { host_.api().Load(); }},
        {"Initialize", [&] { host_.api().Initialize(i(0)); }},
        {"Spec", [&] { host_.api().SetVehicleSpec(spec); }},
        {"Dispose", [&] { host_.api().Dispose(); }},
        {"Frame", [&] { for (int k = args.empty() ? 1 : i(0); k > 0; --k) host_.Frame(); }},
        {"RunFor", [&] { host_.RunFor(n[0]); }},
        {"KeyDown", [&] { host_.KeyDown(i(0)); }},
        {"Press", [&] { host_.PressKey(i(0)); }},
        {"SetBrake", [&] { host_.SetBrake(i(0)); }},
        {"SetPower", [&] { host_.SetPower(i(0)); }},
        {"SetReverser", [&] { host_.SetReverser(i(0)); }},
        {"DoorOpen", [&] { host_.OpenDoors(); }},
        {"DoorClose", [&] { host_.CloseDoors(); }},
        {"Beacon", [&] { host_.Beacon(i(0), i(1)); }},
        {"AddBeacon", [&] { host_.AddBeacon(n[0], i(1), i(2)); }},
        {"ClearSounds", [&] { host_.ClearSounds(); }},
        {"ResetAtc", [&] { atc = AtcState{}; }},
        {"Timer", [&] { due_ = tOn(timer_, i(0), i(1)); }},
    };
#undef STEP
    // clang-format on
    const auto action = actions.find(word);
    if (action == actions.end()) return Fail(where, "no step " + word);
    action->second();
    return true;
  }

  std::optional<Slot> Find(const std::string& name) {
    if (const size_t open = name.find('['); open != std::string::npos) {
      const int index = std::atoi(name.c_str() + open + 1);
      if (index < 0 || index >= kChannelCount) return std::nullopt;
      const std::string array = name.substr(0, open);
      if (array == "panel") return gPanel + index;
      if (array == "sound") return gSound + index;
      if (array == "hostsound") return host_.sound + index;
      if (array == "opt" && index < kOptionCount) return &gOpts[index].value;
      return std::nullopt;
    }
    const auto slot = fields_.find(name);
    if (slot == fields_.end()) return std::nullopt;
    return slot->second;
  }

  // Built for each run: the host's and the frame's fields are this run's.
  std::map<std::string, Slot> MakeFields() {
    // A table, several fields to a row.
    // clang-format off
#define ATC(x) {#x, &atc.x}
    return {
        ATC(trainmode), ATC(drivestate), ATC(trainlocation), ATC(modeinterlock), ATC(startkey),
        ATC(stopbrake), ATC(information), ATC(ebtime), ATC(maxspd), ATC(tagspd), ATC(finalspd),
        ATC(decdis), ATC(dec), ATC(braking), ATC(powering), ATC(rebrake), ATC(rebraketime),
        ATC(holdpwbk), ATC(nzlocation), ATC(targettime), ATC(thisstop), ATC(nextstop),
        ATC(finbak), ATC(finbaksty), ATC(proceedtime), ATC(dwell), ATC(dwelltime),
        ATC(proceedsound), ATC(finalsound), ATC(terminus), ATC(run), ATC(door), ATC(doordet),
        ATC(doorsidelamp), ATC(psdlamp), ATC(cctv), ATC(cctvmode), ATC(targetcover),
        ATC(targetcovertime),
        {"out.brake", &gHandles.brake}, {"out.power", &gHandles.power},
        {"out.reverser", &gHandles.reverser}, {"out.constant", &gHandles.constantSpeed},
        {"f.location", &f_.location}, {"f.v", &f_.v}, {"f.time", &f_.time},
        {"f.stoppos", &f_.stoppos}, {"f.limspd", &f_.limspd}, {"f.curvespd", &f_.curvespd},
        {"state.location", &host_.state.location}, {"state.speed", &host_.state.speed},
        {"state.time", &host_.state.time}, {"state.top", &host_.top},
        {"gstate.location", &gState.location}, {"gstate.speed", &gState.speed},
        {"gstate.time", &gState.time}, {"moving", &host_.moving},
        {"spec.brake", &gTrainspecs.brakeNotchCount}, {"driver.brake", &gDriver.brake},
        {"initialized", &initialized}, {"ws.mode", &windshield.wiperMode},
        {"ws.rain", &windshield.rain}, {"ws.unused", &windshield.unusedDrops},
        {"timer", &timer_}, {"due", &due_},
        {"version", Slot([] { return double(GetPluginVersion()); })},
        {"powerlock", Slot([] { return double(powerLock != nullptr); })},
        {"brakelock", Slot([] { return double(brakeLock != nullptr); })},
        {"sounds", Slot([] { return double(std::count(gSound, gSound + kChannelCount, 1)); })},
        {"drops", Slot([] { return double(std::count(gPanel + 200, gPanel + 250, 1)); })},
    };
#undef ATC
    // clang-format on
  }

  // A number, nan/inf, an h:mm:ss clock, INT32_MAX/MIN, true/false or a field,
  // or a sum of them: "8:00:00+37500", "time-20".
  double Value(const std::string& text, const std::string& where) {
    double sum = 0;
    size_t from = 0;
    for (size_t at = 1; at <= text.size(); ++at) {
      const bool exponent = text[at - 1] == 'e' && at > 1 && std::isdigit(text[at - 2]);
      const bool split = at == text.size() || ((text[at] == '+' || text[at] == '-') && !exponent &&
                                               text[at - 1] != '+' && text[at - 1] != '-');
      if (!split) continue;
      const int sign = text[from] == '-' ? -1 : 1;
      const size_t skip = text[from] == '-' || text[from] == '+' ? 1 : 0;
      sum += sign * Term(text.substr(from + skip, at - from - skip), where);
      from = at;
    }
    return sum;
  }

  double Term(const std::string& term, const std::string& where) {
    if (term == "INT32_MAX") return INT32_MAX;
    if (term == "INT32_MIN") return INT32_MIN;
    if (term == "true") return 1;
    if (term == "false") return 0;
    char* end = nullptr;
    const double number = std::strtod(term.c_str(), &end);
    if (end != term.c_str() && *end == ':') {
      const Tokens hms = Split(term, ':');
      return ((std::stod(hms[0]) * 60 + std::stod(hms.at(1))) * 60 + std::stod(hms.at(2))) * 1000;
    }
    if (end != term.c_str() && *end == '\0') return number;
    if (const auto slot = Find(term)) return slot->get();
    Fail(where, "not a value: " + term);
    return NAN;
  }

  static bool Fail(const std::string& where, const std::string& why) {
    ADD_FAILURE() << where << ": " << why;
    return false;
  }

  const std::string file_;
  TrainHost host_{LinkedApi()};
  Frame f_{};
  int32_t timer_ = 0;  // a timer of tools.h and its last answer
  bool due_ = false;
  const std::map<std::string, Slot> fields_ = MakeFields();
};

// The blocks of every case file, their rows filled in; "== Re-braking then
// re-powering" in driving.cases is the test driving_RebrakingThenRepowering.
std::vector<Block> LoadBlocks() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(CASES_DIR)) {
    if (entry.path().extension() == ".cases") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<Block> blocks;
  for (const auto& path : files) {
    const std::string file = path.filename().string();
    std::ifstream in(path);
    Tokens rows;
    int number = 0;
    for (std::string text; std::getline(in, text);) {
      const std::string where = file + ":" + std::to_string(++number);
      text = text.substr(0, text.find('#'));
      const Tokens tokens = Split(text);
      if (tokens.empty()) continue;
      if (tokens[0] == "def") {
        macros[file][tokens.at(1)] = Tokens(tokens.begin() + 2, tokens.end());
      } else if (tokens[0] == "==") {
        std::string name = path.stem().string() + "_";
        bool capital = true;
        for (const char c : text.substr(text.find("==") + 2)) {
          if (std::isalnum(c)) name += capital ? static_cast<char>(std::toupper(c)) : c;
          capital = c == ' ' || (capital && !std::isalnum(c));
        }
        blocks.push_back({file, name, {}});
        rows.clear();
      } else if (blocks.empty()) {
        continue;  // before the first block only macros count
      } else if (tokens[0] == "rows") {
        rows.assign(tokens.begin() + 1, tokens.end());
      } else if (tokens[0] != "|") {
        blocks.back().steps.push_back({where, tokens});
      } else {
        for (const std::string& row : Split(text.substr(text.find('|') + 1), '|')) {
          Tokens filled;
          for (const std::string& t : rows) filled.push_back(Substitute(t, Split(row)));
          blocks.back().steps.push_back({where + " [" + row + "]", filled});
        }
      }
    }
  }
  return blocks;
}

class Cases : public ::testing::TestWithParam<Block> {};

TEST_P(Cases, Hold) {
  CaseRun run(GetParam().file);
  for (const Step& step : GetParam().steps) {
    if (!run.Run(step.tokens, step.where)) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Plugin, Cases, ::testing::ValuesIn(LoadBlocks()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
