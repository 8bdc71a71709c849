#pragma once
// Little-endian reads and writes on byte buffers, the byte order of every Jet number
// except the big-endian keys of index entries.

#include <cstdint>
#include <cstring>

namespace qv::jet {

inline uint16_t get16(const uint8_t* p, size_t off) { return static_cast<uint16_t>(p[off] | (p[off + 1] << 8)); }
inline uint32_t get24(const uint8_t* p, size_t off) {
  return static_cast<uint32_t>(p[off]) | (static_cast<uint32_t>(p[off + 1]) << 8) |
         (static_cast<uint32_t>(p[off + 2]) << 16);
}
inline uint32_t get32(const uint8_t* p, size_t off) {
  return static_cast<uint32_t>(p[off]) | (static_cast<uint32_t>(p[off + 1]) << 8) |
         (static_cast<uint32_t>(p[off + 2]) << 16) | (static_cast<uint32_t>(p[off + 3]) << 24);
}
inline uint64_t get64(const uint8_t* p, size_t off) {
  return static_cast<uint64_t>(get32(p, off)) | (static_cast<uint64_t>(get32(p, off + 4)) << 32);
}
inline double getDouble(const uint8_t* p, size_t off) {
  uint64_t bits = get64(p, off);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
inline float getFloat(const uint8_t* p, size_t off) {
  uint32_t bits = get32(p, off);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

inline void put16(uint8_t* p, size_t off, uint32_t v) {
  p[off] = static_cast<uint8_t>(v);
  p[off + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put24(uint8_t* p, size_t off, uint32_t v) {
  put16(p, off, v);
  p[off + 2] = static_cast<uint8_t>(v >> 16);
}
inline void put32(uint8_t* p, size_t off, uint32_t v) {
  put16(p, off, v);
  put16(p, off + 2, v >> 16);
}
inline void put64(uint8_t* p, size_t off, uint64_t v) {
  put32(p, off, static_cast<uint32_t>(v));
  put32(p, off + 4, static_cast<uint32_t>(v >> 32));
}
inline void putDouble(uint8_t* p, size_t off, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  put64(p, off, bits);
}
inline void putFloat(uint8_t* p, size_t off, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  put32(p, off, bits);
}

// A row pointer as Jet stores it: the row number in the low byte, the page above it.
inline uint32_t pageOf(uint32_t pointer) { return pointer >> 8; }
inline uint32_t rowOf(uint32_t pointer) { return pointer & 0xFF; }
inline uint32_t makePointer(uint32_t page, uint32_t row) { return (page << 8) | (row & 0xFF); }

}  // namespace qv::jet
