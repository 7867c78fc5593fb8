#include "reader/byte_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace corvane;

namespace {

// Bytes drawn mostly from those the kernels look for, so that blocks hold many of them.
std::string random_block(std::mt19937& random, std::size_t n) {
  static constexpr char alphabet[] = "sStT--\r\n0123 -x\x80\xff";
  std::string s(n, ' ');
  for (char& c : s) c = alphabet[random() % (sizeof alphabet - 1)];
  return s;
}

// The bytes that may begin a searched text, one by one.
std::uint32_t exact_marks(const char* p) {
  std::uint32_t bits = 0;
  for (int k = 0; k < 16; ++k) {
    const char c = p[k];
    const bool dash = c == '-' && (k == 15 || p[k + 1] == '-');
    if (c == 's' || c == 'S' || c == 't' || c == 'T' || dash) bits |= 1u << k;
  }
  return bits;
}

}  // namespace

// The portable kernels, built on every machine, against the rules and, where the processor
// has it, against SSE2, on the same random blocks.
TEST(ByteKernels, EveryVersionFindsWhatTheRulesFind) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 20000; ++trial) {
    const std::string block = random_block(random, 1 + random() % 40);
    const char* end = block.data() + block.size();
    const char* expected = block.data();
    while (expected < end && *expected != '\n' && *expected != '\r') ++expected;
    ASSERT_EQ(bytes::line_end_portable(block.data(), end), expected) << trial;
    if (block.size() < 16) continue;
    const std::uint32_t exact = exact_marks(block.data());
    const std::uint32_t portable = bytes::may_begin_mark_portable(block.data());
    // Every true byte is found; a false one only just above a true one, or a "-" ending the
    // first eight bytes (each eight are searched alone).
    ASSERT_EQ(portable & exact, exact) << trial;
    const std::uint32_t allowed = (exact << 1) | (block[7] == '-' ? 1u << 7 : 0u);
    ASSERT_EQ(portable & ~exact & ~allowed, 0u) << trial;
#if defined(__SSE2__)
    ASSERT_EQ(bytes::line_end_sse2(block.data(), end), expected) << trial;
    ASSERT_EQ(bytes::may_begin_mark_sse2(block.data()), exact) << trial;
#endif
  }
}
