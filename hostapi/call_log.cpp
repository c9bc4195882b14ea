#include "call_log.h"

#include <charconv>
#include <cstring>
#include <sstream>

namespace {

template <typename T>
void Append(std::string& out, T value) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
  out += ' ';
  out.append(buffer, r.ptr);
}

// A word of a bad line as an error quotes it: a few dozen characters at most.
std::string Quoted(const std::string& word) {
  constexpr size_t kLongest = 40;
  return word.size() <= kLongest ? word : word.substr(0, kLongest) + "...";
}

// The number of values each call carries, by ordinal.
constexpr int kFieldCounts[17] = {0, 0, 0, 0, 5, 1, 9, 1, 1, 1, 1, 1, 1, 0, 0, 1, 4};

class Fields {
 public:
  Fields(std::vector<std::string> words, int line) : words_(std::move(words)), line_(line) {}

  template <typename T>
  T Next(const char* what) {
    const std::string& word = words_[next_++];
    T value{};
    const std::from_chars_result r = std::from_chars(word.data(), word.data() + word.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
      throw CallLogError(line_,
                         "value out of range for the " + std::string(what) + ": " + Quoted(word));
    }
    if (r.ec != std::errc() || r.ptr != word.data() + word.size()) {
      throw CallLogError(line_, "not a number for the " + std::string(what) + ": " + Quoted(word));
    }
    return value;
  }

 private:
  std::vector<std::string> words_;
  int line_;
  size_t next_ = 1;
};

}  // namespace

CallLogError::CallLogError(int line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message),
      line_(line),
      message_(message) {}

std::string FormatCall(const HostCall& c) {
  std::string out = kExportNames[c.ordinal - 1];
  switch (c.ordinal) {
    case kSetVehicleSpec:
      for (int32_t v : {c.spec.brakeNotchCount, c.spec.powerNotchCount, c.spec.atsCheckNotch,
                        c.spec.b67Notch, c.spec.carCount}) {
        Append(out, v);
      }
      break;
    case kElapse:
      Append(out, c.state.location);
      Append(out, c.state.speed);
      Append(out, c.state.time);
      for (float v : {c.state.brakeCylinderPressure, c.state.mainReservoirPressure,
                      c.state.equalizingReservoirPressure, c.state.brakePipePressure,
                      c.state.straightAirPipePressure, c.state.current}) {
        Append(out, v);
      }
      break;
    case kSetBeaconData:
      Append(out, c.beacon.type);
      Append(out, c.beacon.signal);
      Append(out, c.beacon.distance);
      Append(out, c.beacon.optional);
      break;
    default:
      if (kFieldCounts[c.ordinal] == 1) Append(out, c.value);
      break;
  }
  return out;
}

HostCall ParseCall(const std::string& text, int line) {
  std::istringstream words(text);
  std::vector<std::string> w;
  for (std::string word; words >> word;) w.push_back(word);
  if (w.empty()) throw CallLogError(line, "empty line");
  HostCall c;
  for (int i = 0; i < 16; ++i) {
    if (w[0] == kExportNames[i]) c.ordinal = i + 1;
  }
  if (c.ordinal == 0) throw CallLogError(line, "unknown call " + Quoted(w[0]));
  const int expected = kFieldCounts[c.ordinal];
  if (static_cast<int>(w.size()) - 1 != expected) {
    throw CallLogError(line, w[0] + " takes " + std::to_string(expected) + " values, not " +
                                 std::to_string(w.size() - 1));
  }
  Fields f(std::move(w), line);
  switch (c.ordinal) {
    case kSetVehicleSpec:
      c.spec = {f.Next<int32_t>("brake notches"), f.Next<int32_t>("power notches"),
                f.Next<int32_t>("ATS notch"), f.Next<int32_t>("B67 notch"),
                f.Next<int32_t>("cars")};
      break;
    case kElapse:
      c.state.location = f.Next<double>("location");
      c.state.speed = f.Next<float>("speed");
      c.state.time = f.Next<int32_t>("time");
      for (float* v : {&c.state.brakeCylinderPressure, &c.state.mainReservoirPressure,
                       &c.state.equalizingReservoirPressure, &c.state.brakePipePressure,
                       &c.state.straightAirPipePressure, &c.state.current}) {
        *v = f.Next<float>("pressure or current");
      }
      break;
    case kSetBeaconData:
      c.beacon.type = f.Next<int32_t>("beacon type");
      c.beacon.signal = f.Next<int32_t>("signal");
      c.beacon.distance = f.Next<float>("distance");
      c.beacon.optional = f.Next<int32_t>("optional value");
      break;
    default:
      if (expected == 1) c.value = f.Next<int32_t>("value");
      break;
  }
  return c;
}

std::string FormatCallLogEnd(long calls) { return "end " + std::to_string(calls) + "\n"; }

namespace {

constexpr size_t kLongestLine = 1024;         // characters; the longest call needs 200
constexpr long long kLargestLog = 4LL << 30;  // bytes

}  // namespace

CallLogReader::CallLogReader(std::istream& in) : in_(in) {
  if (!ReadLine() || text_ != kCallLogHeader) {
    throw CallLogError(
        1, "not a call log of this version: expected \"" + std::string(kCallLogHeader) + "\"");
  }
}

bool CallLogReader::Next(HostCall& call) {
  if (!ReadLine()) {
    throw CallLogError(line_ - 1, "cut short: no end line after line " + std::to_string(line_ - 1));
  }
  if (text_.rfind("end ", 0) != 0) {
    call = ParseCall(text_, line_);
    ++calls_;
    return true;
  }
  if (text_ + "\n" != FormatCallLogEnd(calls_)) {
    throw CallLogError(line_, "the end line counts " + Quoted(text_.substr(4)) +
                                  " calls, the log " + std::to_string(calls_));
  }
  if (ReadLine()) throw CallLogError(line_, "a line after the end line");
  return false;
}

// The next line without its end, refused past the longest a call can be;
// false at the end of the log.
bool CallLogReader::ReadLine() {
  ++line_;
  text_.clear();
  int c;
  while ((c = in_.get()) != EOF && c != '\n') {
    if (text_.size() == kLongestLine) {
      throw CallLogError(
          line_, "longer than " + std::to_string(kLongestLine) + " characters: " + Quoted(text_));
    }
    text_ += static_cast<char>(c);
  }
  read_ += static_cast<long long>(text_.size()) + 1;
  if (read_ > kLargestLog) throw CallLogError(line_, "the log is larger than 4 GiB");
  if (!text_.empty() && text_.back() == '\r') text_.pop_back();
  return c != EOF || !text_.empty();
}

std::vector<HostCall> ReadCallLog(std::istream& in) {
  CallLogReader reader(in);
  std::vector<HostCall> calls;
  for (HostCall call; reader.Next(call);) calls.push_back(call);
  return calls;
}
