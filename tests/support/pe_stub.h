#pragma once
// A small PE32 stub made here, as the stamper takes it: headers, and one
// section ".rsrc" at 0x1000 holding the resource tree DAT / 136 / 1042 with
// the marker as its data. The real stub is built for Windows only.

#include <cstddef>
#include <string>

#include "tests/support/package_file.h"

// Where its headers lie, for tests that edit them.
constexpr size_t kStubPe = 0x40;
constexpr size_t kStubOptional = kStubPe + 24;
constexpr size_t kStubSections = kStubOptional + 224;
constexpr size_t kStubTree = 0x200;

Bytes MakeTestStub(const std::string& marker);
