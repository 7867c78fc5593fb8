#pragma once
// The reader's byte kernels: searches over sixteen or eight bytes at a time. Each comes as
// a portable version, eight bytes in a 64-bit word, built on every machine, and where the
// processor has them, an SSE2 version; the plain names take the fastest.
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane::bytes {

inline constexpr std::uint64_t ones = 0x0101010101010101u;
inline constexpr std::uint64_t highs = 0x8080808080808080u;

// Eight bytes at p as a little-endian word: byte k in bits 8k..8k+7.
inline std::uint64_t word_at(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native != std::endian::little) w = __builtin_bswap64(w);
  return w;
}

// The high bit of each byte of `w` equal to `c`; a byte just above a true one may be set
// too (a borrow), so only the lowest set bit is sure.
inline std::uint64_t bytes_equal(std::uint64_t w, char c) {
  const std::uint64_t x = w ^ (static_cast<unsigned char>(c) * ones);
  return (x - ones) & ~x & highs;
}

// The first CR or LF in [p, end), or end.
inline const char* line_end_portable(const char* p, const char* end) {
  for (; end - p >= 8; p += 8) {
    const std::uint64_t w = word_at(p);
    if (const std::uint64_t hits = bytes_equal(w, '\n') | bytes_equal(w, '\r'); hits != 0)
      return p + std::countr_zero(hits) / 8;
  }
  while (p < end && *p != '\n' && *p != '\r') ++p;
  return p;
}

// A bit for each of the 16 bytes at p (bit k for byte k) that may begin a searched text:
// S, s, T, t, or a "-" followed by another (or the last byte a "-"). A byte just above a
// found one may be set too; a lone "-" (a negative number) is left out.
inline std::uint32_t may_begin_mark_portable(const char* p) {
  std::uint32_t bits = 0;
  for (int half = 0; half < 2; ++half) {
    const std::uint64_t w = word_at(p + 8 * half);
    const std::uint64_t folded = w | 0x2020202020202020u;  // S and T fold onto s and t
    const std::uint64_t dash = bytes_equal(w, '-'), last_byte = highs << 56;
    const std::uint64_t hits = bytes_equal(folded, 's') | bytes_equal(folded, 't') | (dash & ((dash >> 8) | last_byte));
    // The high bits gathered into one byte.
    bits |= static_cast<std::uint32_t>(((hits >> 7) * 0x0102040810204080u) >> 56) << (8 * half);
  }
  return bits;
}

#if defined(__SSE2__)
inline const char* line_end_sse2(const char* p, const char* end) {
  for (; end - p >= 16; p += 16) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(w, _mm_set1_epi8('\r'))));
    if (hits != 0) return p + std::countr_zero(static_cast<unsigned>(hits));
  }
  return line_end_portable(p, end);
}

// Exactly the bytes that may begin a searched text.
inline std::uint32_t may_begin_mark_sse2(const char* p) {
  const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i folded = _mm_or_si128(w, _mm_set1_epi8(0x20));
  const __m128i st =
      _mm_or_si128(_mm_cmpeq_epi8(folded, _mm_set1_epi8('s')), _mm_cmpeq_epi8(folded, _mm_set1_epi8('t')));
  const auto dash = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8('-'))));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(st)) | (dash & ((dash >> 1) | 0x8000u));
}
#endif

inline const char* line_end(const char* p, const char* end) {
#if defined(__SSE2__)
  return line_end_sse2(p, end);
#else
  return line_end_portable(p, end);
#endif
}

inline std::uint32_t may_begin_mark(const char* p) {
#if defined(__SSE2__)
  return may_begin_mark_sse2(p);
#else
  return may_begin_mark_portable(p);
#endif
}

}  // namespace corvane::bytes
