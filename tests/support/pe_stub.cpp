#include "tests/support/pe_stub.h"

#include <cstring>

#include "base/little_endian.h"

Bytes MakeTestStub(const std::string& marker) {
  Bytes b(0x400, 0);
  b[0] = 'M', b[1] = 'Z';
  PutU32(&b[0x3C], kStubPe);
  std::memcpy(&b[kStubPe], "PE\0\0", 4);
  PutU16(&b[kStubPe + 4], 0x14C);
  PutU16(&b[kStubPe + 6], 1);
  PutU16(&b[kStubPe + 20], 224);
  PutU16(&b[kStubOptional], 0x10B);
  PutU32(&b[kStubOptional + 32], 0x1000);
  PutU32(&b[kStubOptional + 36], 0x200);
  PutU32(&b[kStubOptional + 56], 0x2000);
  PutU32(&b[kStubOptional + 60], 0x200);
  PutU16(&b[kStubOptional + 68], 2);
  PutU32(&b[kStubOptional + 92], 16);
  PutU32(&b[kStubOptional + 96 + 2 * 8], 0x1000);
  PutU32(&b[kStubOptional + 96 + 2 * 8 + 4], 0x60 + static_cast<uint32_t>(marker.size()));
  std::memcpy(&b[kStubSections], ".rsrc", 5);
  PutU32(&b[kStubSections + 8], 0x200);
  PutU32(&b[kStubSections + 12], 0x1000);
  PutU32(&b[kStubSections + 16], 0x200);
  PutU32(&b[kStubSections + 20], 0x200);
  PutU32(&b[kStubSections + 36], 0x40000040);
  PutU16(&b[kStubTree + 12], 1);  // the type, by name
  PutU32(&b[kStubTree + 16], 0x80000058);
  PutU32(&b[kStubTree + 20], 0x80000018);
  PutU16(&b[kStubTree + 0x18 + 14], 1);  // the number
  PutU32(&b[kStubTree + 0x28], 136);
  PutU32(&b[kStubTree + 0x2C], 0x80000030);
  PutU16(&b[kStubTree + 0x30 + 14], 1);  // the language
  PutU32(&b[kStubTree + 0x40], 1042);
  PutU32(&b[kStubTree + 0x44], 0x48);
  PutU32(&b[kStubTree + 0x48], 0x1060);
  PutU32(&b[kStubTree + 0x4C], static_cast<uint32_t>(marker.size()));
  PutU16(&b[kStubTree + 0x58], 3);
  for (int i = 0; i < 3; ++i) PutU16(&b[kStubTree + 0x5A + 2 * i], static_cast<uint8_t>("DAT"[i]));
  std::memcpy(&b[kStubTree + 0x60], marker.data(), marker.size());
  return b;
}
