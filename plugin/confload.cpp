// confload: the table of numeric options and its compiled-in defaults.
#include "confload.h"

OptEntry gOpts[kOptionCount];
bool pointersNullified = false;

namespace {

// Defaults as runs of equal values over consecutive indices, in index order.
struct DefaultRun {
  int first;
  int last;
  int32_t value;
};

// The runs read as a table.
// clang-format off
constexpr DefaultRun kDefaults[] = {
    {0, 0, 0},         {1, 3, -1},        {4, 5, 0},         {6, 6, 3000},      {7, 8, 0},
    {9, 12, -1},       {13, 13, 0},       {14, 14, -1},      {15, 16, 60},      {17, 19, 0},
    {20, 20, -1},      {21, 21, 1000},    {22, 22, 0},       {23, 24, -1},      {25, 25, 0},
    {26, 27, -1},      {28, 28, 2},       {29, 29, 60000},   {30, 31, 3000},    {32, 37, 0},
    {38, 38, -1},      {39, 43, 0},       {44, 47, -1},
    {optWiperPanel, optWiperPanel, 80},
    {optWiperSweepTime, optWiperSweepTime, 1000},
    {optWiperRest, optWiperRest, 100},
    {optWiperHoldTime, optWiperHoldTime, 3000},
    {optWiperUpKey, optWiperUpKey, 3},
    {optWiperDownKey, optWiperDownKey, 4},
    {optWiperSound, optWiperSound, -1},
    {optFirstDropPanel, optFirstDropPanel, 200},
    {optDropPanelCount, optDropPanelCount, 50},
    {optDropSound, optDropSound, -1},
    {58, 58, 155},     {59, 59, 156},     {60, 60, 157},     {61, 61, 158},     {62, 69, -1},
    {70, 72, 0},       {73, 75, -1},      {76, 77, 0},       {78, 79, 1},       {80, 80, 50},
    {81, 81, -1},      {82, 84, 0},       {85, 85, -1},      {86, 86, 3},       {87, 87, 4},
    {88, 89, -1},      {90, 94, 0},       {95, 97, -1},      {98, 98, 75},      {99, 99, -55},
    {100, 100, 15},    {101, 101, 30},    {102, 102, 10},    {103, 103, 8},     {104, 104, 5},
    {105, 105, 6},     {106, 106, 40},    {107, 107, -1},    {108, 108, 32},    {109, 109, 20000},
    {110, 110, 12000}, {111, 111, 21000}, {112, 112, -1},    {113, 113, 16000}, {114, 114, 1500},
    {115, 115, -1},    {116, 116, 100},   {117, 123, -1},
};
// clang-format on

constexpr bool CoversTableInOrder() {
  int next = 0;
  for (const DefaultRun& run : kDefaults) {
    if (run.first != next || run.last < run.first) return false;
    next = run.last + 1;
  }
  return next == kOptionCount;
}
static_assert(CoversTableInOrder(), "every option needs exactly one default");

}  // namespace

void SetDefaults() {
  for (OptEntry& entry : gOpts) entry.extra = nullptr;
  pointersNullified = true;
  for (const DefaultRun& run : kDefaults) {
    for (int i = run.first; i <= run.last; ++i) gOpts[i].value = run.value;
  }
}
