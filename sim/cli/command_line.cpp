// Parses the command line into a subcommand and its options.
#include "cli/command_line.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/session.h"

namespace {

// The flags that chose a job before the subcommands, and the form that replaces each.
constexpr std::pair<std::string_view, std::string_view> kModeFlags[] = {
    {"--lint", "lint FILE"},
    {"--sweep", "sweep FILE"},
    {"--layout", "layout FILE -o OUT"},
    {"--beacons", "beacons FILE"},
};

// The option an argument names ("--csv" of "--csv=x", "-j" of "-j4"); empty for a value.
std::string OptionName(const std::string& arg) {
  if (arg.rfind("--", 0) == 0) return arg.substr(0, arg.find('='));
  if (arg.size() > 1 && arg[0] == '-') return arg.substr(0, 2);
  return "";
}

// "run", "run and sweep", "run, lint and sweep".
std::string Listed(const std::vector<std::string>& names) {
  std::string text = names.front();
  for (size_t i = 1; i < names.size(); ++i) {
    text += (i + 1 < names.size() ? ", " : " and ") + names[i];
  }
  return text;
}

// Why an argument the subcommand `used` left over is refused; empty when it
// names no option of corvane-sim, for CLI11 to report as unknown.
std::string Refusal(CLI::App& app, const CLI::App& used, const std::string& arg) {
  const std::string name = OptionName(arg);
  if (name.empty()) return "";
  for (const auto& [flag, form] : kModeFlags) {
    if (name == flag) return fmt::format("{} is now a subcommand: corvane-sim {}", flag, form);
  }
  std::vector<std::string> takers;
  for (const CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
    if (command->get_option_no_throw(name)) takers.push_back(command->get_name());
  }
  if (takers.empty()) return "";
  return fmt::format("{} does not apply to {}; it is taken by {}", name, used.get_name(),
                     Listed(takers));
}

// The first refusal among the arguments the chosen subcommand left over.
std::string FirstRefusal(CLI::App& app) {
  for (const CLI::App* used : app.get_subcommands()) {
    for (const std::string& arg : used->remaining()) {
      if (std::string why = Refusal(app, *used, arg); !why.empty()) return why;
    }
  }
  return "";
}

// The arguments CLI11 parses, last first; `run` put before a plain form's.
std::vector<std::string> Arguments(const std::vector<Command>& commands, int argc,
                                   const char* const* argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool plain = !args.empty() && args[0] != "-h" && args[0] != "--help" &&
                     std::none_of(commands.begin(), commands.end(),
                                  [&](const Command& c) { return c.app->get_name() == args[0]; });
  if (plain) args.insert(args.begin(), "run");
  return {args.rbegin(), args.rend()};
}

// The exit status of a command line refused, or answered with its help; an
// option of another subcommand is named before any other fault.
int ExitStatus(CLI::App& app, const CLI::ParseError& e) {
  if (e.get_exit_code() != 0) {
    if (const std::string why = FirstRefusal(app); !why.empty()) {
      fmt::print(stderr, "corvane-sim: {}\n", why);
      return kExitBadInput;
    }
  }
  if (app.exit(e) != 0) return kExitBadInput;
  // Help that could not be written is no answer.
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  std::fputs("corvane-sim: cannot write the standard output\n", stderr);
  return kExitCannotWrite;
}

}  // namespace

Invocation ParseCommandLine(int argc, const char* const* argv) {
  Invocation call;
  CLI::App app{"Drives the train-control plug-in along the route of a scenario file.",
               "corvane-sim"};
  app.require_subcommand(1);
  app.footer(
      "corvane-sim FILE is corvane-sim run FILE. Each subcommand's --help lists its "
      "options and exit statuses.");
  const std::vector<Command> commands = {AddRun(app, call.options), AddLint(app, call.options),
                                         AddSweep(app, call.options), AddLayout(app, call.options),
                                         AddBeacons(app, call.options)};
  for (const Command& command : commands) command.app->allow_extras();  // refused below, by name
  std::vector<std::string> args = Arguments(commands, argc, argv);
  try {
    app.parse(args);
    for (const CLI::App* used : app.get_subcommands()) {
      if (!used->remaining().empty()) throw CLI::ExtrasError(used->get_name(), used->remaining());
    }
  } catch (const CLI::ParseError& e) {
    call.status = ExitStatus(app, e);
    return call;
  }
  for (const Command& command : commands) {
    if (command.app->parsed()) call.work = command.work;
  }
  return call;
}
