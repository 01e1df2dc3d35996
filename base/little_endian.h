#pragma once
// Little-endian words, the byte order of every format the system reads and
// writes (the Windows program, zip, the patch data container, the game's
// packages, MD5's words): put at a byte pointer, appended to a byte vector, or
// got from a byte pointer. The caller has checked that the bytes are there;
// CByteCursor is the bounds-checked way to read.

#include <cstdint>
#include <vector>

inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, static_cast<uint16_t>(v));
  PutU16(p + 2, static_cast<uint16_t>(v >> 16));
}

inline void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.resize(out.size() + 2);
  PutU16(out.data() + out.size() - 2, v);
}

inline void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  PutU32(out.data() + out.size() - 4, v);
}

inline void AppendU64(std::vector<uint8_t>& out, uint64_t v) {
  AppendU32(out, static_cast<uint32_t>(v));
  AppendU32(out, static_cast<uint32_t>(v >> 32));
}

inline uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t GetU32(const uint8_t* p) {
  return uint32_t{GetU16(p)} | uint32_t{GetU16(p + 2)} << 16;
}
