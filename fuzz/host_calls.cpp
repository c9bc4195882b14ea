#include "host_calls.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "fresh_library.h"

namespace {

constexpr int32_t kGuardValue = 0x5A5A5A5A;
constexpr int kGuardSize = 64;

// One of the host's arrays with guard zones on both sides.
struct GuardedArray {
  int32_t low[kGuardSize];
  int32_t values[kChannelCount];
  int32_t high[kGuardSize];

  GuardedArray() {
    std::fill(std::begin(low), std::end(low), kGuardValue);
    std::fill(std::begin(values), std::end(values), 0);
    std::fill(std::begin(high), std::end(high), kGuardValue);
  }
  bool Intact() const {
    const auto guard = [](int32_t v) { return v == kGuardValue; };
    return std::all_of(std::begin(low), std::end(low), guard) &&
           std::all_of(std::begin(high), std::end(high), guard);
  }
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool More() const { return pos_ < size_; }
  template <typename T>
  T Take() {
    T value{};
    const size_t n = std::min(sizeof value, size_ - pos_);
    std::memcpy(&value, data_ + pos_, n);
    pos_ += n;
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Each argument of a call in order, as HostCallWriter writes them and
// RunHostCalls reads them: an Elapse starts with a byte of null-array flags.
template <typename AnyCall, typename Visit>
void EachArgument(AnyCall& call, uint8_t& nulls, Visit visit) {
  switch (call.ordinal) {
    case kSetVehicleSpec: visit(call.spec); break;
    case kElapse:
      visit(nulls);
      visit(call.state);
      break;
    case kSetBeaconData: visit(call.beacon); break;
    case kLoad:
    case kDispose:
    case kGetPluginVersion:
    case kDoorOpen:
    case kDoorClose: break;
    default: visit(call.value); break;
  }
}

void Call(int op, Reader& in, GuardedArray& panel, GuardedArray& sound) {
  HostCall call;
  call.ordinal = op + 1;
  uint8_t nulls = 0;
  EachArgument(call, nulls, [&](auto& arg) { arg = in.Take<std::decay_t<decltype(arg)>>(); });
  Invoke(LinkedApi(), call, (nulls & 1) ? nullptr : panel.values,
         (nulls & 2) ? nullptr : sound.values);
}

}  // namespace

bool RunHostCalls(const uint8_t* data, size_t size) {
  FreshLibrary();
  GuardedArray panel, sound;
  Reader in(data, size);
  Load();
  bool loaded = true;
  while (in.More()) {
    const int op = in.Take<uint8_t>() % 16;
    if (!loaded && op != 0) continue;  // after Dispose the host only loads again
    Call(op, in, panel, sound);
    loaded = op != 1;
    if (!panel.Intact() || !sound.Intact()) return false;
  }
  if (loaded) Dispose();
  return panel.Intact() && sound.Intact();
}

void HostCallWriter::Append(const HostCall& call) {
  bytes_.push_back(static_cast<char>(call.ordinal - 1));
  uint8_t bothArrays = 0;
  EachArgument(call, bothArrays, [&](const auto& arg) { Raw(arg); });
}
