// A fault in a scenario file or in what is asked of it, already worded as
// file:line: key: message.
#pragma once

#include <stdexcept>

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
