// Sequences of host calls as bytes, for the fuzzer, its seeds and its
// regression inputs. Each call is an opcode byte (the export's ordinal - 1,
// modulo 16) followed by the raw bytes of its arguments; missing bytes read
// as zero, so every input is a valid sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "atsplugin.h"

// Runs the calls through a freshly loaded plug-in, with guard zones around
// the host's arrays. Returns false when a call wrote into a guard zone.
bool RunHostCalls(const uint8_t* data, size_t size);

// Appends calls in that format.
class HostCallWriter {
 public:
  void Call(int ordinal) { bytes_.push_back(static_cast<char>(ordinal - 1)); }
  template <typename T>
  void Call(int ordinal, const T& argument) {
    Call(ordinal);
    bytes_.append(reinterpret_cast<const char*>(&argument), sizeof argument);
  }
  void Elapse(const ATS_VEHICLESTATE& state) {
    Call(6);
    bytes_.push_back(0);  // both arrays given
    bytes_.append(reinterpret_cast<const char*>(&state), sizeof state);
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};
