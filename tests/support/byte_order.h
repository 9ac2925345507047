// byte_order.h - building bytes in a chosen byte order by hand, so that tests
// can lay down what a machine of the other ("M") order writes without using
// the library's own swaps; and showing and comparing bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace qorb::test {

// Appends values to a byte string, most significant byte first ("M") or
// least significant first ("I").
class ByteWriter {
 public:
  explicit ByteWriter(bool mostSignificantFirst) : msbFirst_(mostSignificantFirst) {}

  ByteWriter &Number(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
      const int shift = 8 * (msbFirst_ ? width - 1 - i : i);
      bytes_ += static_cast<char>((value >> shift) & 0xFF);
    }
    return *this;
  }
  ByteWriter &U8(std::uint8_t value) { return Number(value, 1); }
  ByteWriter &U16(std::uint16_t value) { return Number(value, 2); }
  ByteWriter &U32(std::uint32_t value) { return Number(value, 4); }
  ByteWriter &F32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Number(bits, 4);
  }
  ByteWriter &F64(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Number(bits, 8);
  }
  // Bytes taken as they are: texts, and the native pointers of a record.
  ByteWriter &Raw(const void *data, std::size_t size) {
    bytes_.append(static_cast<const char *>(data), size);
    return *this;
  }
  // A native pointer's bytes, as a record holds it.
  ByteWriter &Pointer(const void *pointer) { return Raw(&pointer, sizeof pointer); }
  ByteWriter &Text(const std::string &text) { return Raw(text.data(), text.size()); }
  ByteWriter &Zeros(std::size_t count) {
    bytes_.append(count, '\0');
    return *this;
  }

  const std::string &bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  bool msbFirst_;
  std::string bytes_;
};

// Bytes as upper-case hexadecimal pairs separated by blanks ("49 1F").
inline std::string Hex(const void *data, std::size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<const unsigned char *>(data)[i];
    if (i > 0) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}
inline std::string Hex(const std::string &bytes) {
  return Hex(bytes.data(), bytes.size());
}

// Whether two objects hold the same bytes (records compared as a whole,
// byte-packed ones among them).
inline bool SameBytes(const void *a, const void *b, std::size_t size) {
  return std::memcmp(a, b, size) == 0;
}

}  // namespace qorb::test
