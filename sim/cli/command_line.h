// corvane-sim's command line: a subcommand per job, each with the options
// that apply to it; `corvane-sim FILE` is `corvane-sim run FILE`. An option
// of another subcommand, or one of the mode flags the subcommands replace,
// is refused by name.
#pragma once

#include "cli/commands.h"

struct Invocation {
  Options options;
  Work work = nullptr;  // none: exit with `status` (help shown, or the command line refused)
  int status = 0;
};

Invocation ParseCommandLine(int argc, const char* const* argv);
