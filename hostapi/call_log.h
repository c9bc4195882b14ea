// Call logs: one host call a line, after a version header and before an
// end line that counts the calls, so that a log cut short is told apart.
//
//   corvane-calls 2
//   Load
//   SetVehicleSpec 8 5 2 3 6          brake, power, ATS and B67 notches, cars
//   Initialize 1
//   SetBeaconData 13 0 0 12           type, signal, distance, optional
//   KeyDown 2                         every other call: its one integer
//   Elapse 500 0 28800000 0 0 0 0 0 0 location, speed, time, then the six
//                                     pressures and current
//   Dispose
//   end 7                             the number of calls
//
// Lines may end in CR LF throughout.
// Floating values are written in the shortest form that reads back to the
// same bits ("nan" and "inf" included), so a replay gets exactly the
// recorded arguments.
#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_call.h"

constexpr const char* kCallLogHeader = "corvane-calls 2";

// A fault in a call log, worded as "line N: message".
class CallLogError : public std::runtime_error {
 public:
  CallLogError(int line, const std::string& message);
  int line() const { return line_; }
  const std::string& message() const { return message_; }

 private:
  int line_;
  std::string message_;
};

std::string FormatCall(const HostCall& call);
HostCall ParseCall(const std::string& text, int line);
// The end line of a log of that many calls, with its newline.
std::string FormatCallLogEnd(long calls);

// A log read a call at a time, so that a log of any length is read in the
// same memory: the header when made, then a call a Next() until the end
// line, whose count is checked. A fault is thrown when its line is reached.
class CallLogReader {
 public:
  explicit CallLogReader(std::istream& in);
  // The next call, or false once the end line has been read; not called
  // again after that.
  bool Next(HostCall& call);

 private:
  bool ReadLine();

  std::istream& in_;
  std::string text_;
  long long read_ = 0;  // bytes
  int line_ = 0;        // the number of the line last read
  long calls_ = 0;
};

// The whole log at once, for logs known to be small.
std::vector<HostCall> ReadCallLog(std::istream& in);
