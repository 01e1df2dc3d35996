#pragma once
// The test executables carry no embedded container: this stands in for it, so
// a test hands the worker the container it built. Null: no patch data.

#include <cstdint>
#include <vector>

void SetTestPatchData(const std::vector<uint8_t>* container);
