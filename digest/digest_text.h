#pragma once
#include <cstdint>
#include <string>

// 32 lower-case hexadecimal characters, two per digest byte, in byte order.
std::string DigestToHex(const uint8_t digest[16]);
