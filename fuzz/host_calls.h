// Sequences of host calls as bytes, for the fuzzer, its seeds and its
// regression inputs. Each call is an opcode byte (the export's ordinal - 1,
// modulo 16) followed by the raw bytes of its arguments; missing bytes read
// as zero, so every input is a valid sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host_call.h"

// Runs the calls through a freshly loaded plug-in, with guard zones around
// the host's arrays. Returns false when a call wrote into a guard zone.
bool RunHostCalls(const uint8_t* data, size_t size);

// Appends calls in that format.
class HostCallWriter {
 public:
  void Append(const HostCall& call);
  const std::string& bytes() const { return bytes_; }

 private:
  template <typename T>
  void Raw(const T& value) {
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  std::string bytes_;
};
