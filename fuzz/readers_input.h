// Any bytes given to the readers of scenario files and call logs: they must
// answer with what they read or with their own error, and nothing else; a
// scenario read is run, briefly, through the simulator.
#pragma once

#include <cstddef>
#include <cstdint>

// False when a reader failed otherwise than with its own error.
bool ReadScenarioBytes(const uint8_t* data, size_t size);
bool ReadCallLogBytes(const uint8_t* data, size_t size);
