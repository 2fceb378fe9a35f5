// One bounded little-endian reader for every binary layout the program reads (levels,
// settings records, font metrics, picture headers, mesh files): fields are read one by one
// in file order, and a read past the last byte fails instead of reaching beyond it.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qh {

class ByteCursor {
 public:
  ByteCursor(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(bytes != nullptr ? size : 0) {}

  // Each read returns 0 (and copies nothing) once it would pass the end; from then on
  // Ok() is false and every further read fails too.
  uint8_t U8() { return Take(1) ? bytes_[position_ - 1] : 0; }
  uint16_t U16() {
    if (!Take(2)) return 0;
    const uint8_t* p = bytes_ + position_ - 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  uint32_t U32() {
    if (!Take(4)) return 0;
    const uint8_t* p = bytes_ + position_ - 4;
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  float F32() { return std::bit_cast<float>(U32()); }
  // Copies n bytes; on failure `out` is left untouched.
  bool Bytes(void* out, size_t n) {
    if (!Take(n)) return false;
    if (n > 0) std::memcpy(out, bytes_ + position_ - n, n);
    return true;
  }
  bool Skip(size_t n) { return Take(n); }
  // Moves to an absolute offset within the bytes (the end itself included).
  bool Seek(size_t position) {
    if (!ok_ || position > size_) return Fail();
    position_ = position;
    return true;
  }

  bool Ok() const { return ok_; }
  size_t Position() const { return position_; }
  size_t Remaining() const { return ok_ ? size_ - position_ : 0; }
  // The bytes at the cursor (valid for Remaining() bytes).
  const uint8_t* Here() const { return bytes_ + position_; }

 private:
  bool Take(size_t n) {
    if (!ok_ || n > size_ - position_) return Fail();
    position_ += n;
    return true;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;
  bool ok_ = true;
};

// The writing side of the same layouts: a 32-bit value stored little-endian at `out`.
inline void StoreU32(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
  out[2] = static_cast<uint8_t>(value >> 16);
  out[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace qh
