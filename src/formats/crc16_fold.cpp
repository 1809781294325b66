// Folding a CRC-16 by carry-less multiplication. The message is a polynomial whose first bit
// has the highest degree; four 128-bit accumulators each stand for a quarter of every 64
// bytes, and moving an accumulator A = H * x^64 + L on by n bits is A * x^n, congruent to
// H * (x^(n+64) mod G) + L * (x^n mod G): two products of 64 by 16 bits, under 2^80.
#include "formats/crc16_fold.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define VELMORA_CRC16_FOLD 1
#endif

namespace velmora {

#ifdef VELMORA_CRC16_FOLD

namespace {

// x^n modulo x^16 + x^15 + x^2 + 1.
std::uint64_t PowerOfX(int n) {
    std::uint32_t value = 1;
    for (int k = 0; k < n; ++k) {
        value <<= 1;
        if ((value & 0x10000U) != 0) {
            value ^= 0x18005U;
        }
    }
    return value;
}

struct Constants {
    // For moving an accumulator on by n bits: (x^(n+64), x^n) modulo the generator.
    __m128i by512, by384, by256, by128;
};

__attribute__((target("pclmul,ssse3"))) __m128i Pair(int n) {
    return _mm_set_epi64x(static_cast<long long>(PowerOfX(n + 64)),
                          static_cast<long long>(PowerOfX(n)));
}

__attribute__((target("pclmul,ssse3"))) __m128i Move(__m128i value, __m128i by) {
    return _mm_xor_si128(_mm_clmulepi64_si128(value, by, 0x11),
                         _mm_clmulepi64_si128(value, by, 0x00));
}

// Sixteen bytes as one polynomial: the first byte in the highest lane.
__attribute__((target("pclmul,ssse3"))) __m128i Load(const std::uint8_t* at) {
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), reverse);
}

const Constants& Folds() {
    static const Constants k{Pair(512), Pair(384), Pair(256), Pair(128)};
    return k;
}

// The register's start value goes into the first 16 bits of the message.
__attribute__((target("pclmul,ssse3"))) __m128i StartValue(std::uint16_t start) {
    return _mm_set_epi64x(static_cast<long long>(std::uint64_t{start} << 48), 0);
}

// The four accumulators of the last 64 bytes into one, then 16 bytes at a time to the end,
// so that the tables take fewer than 16.
__attribute__((target("pclmul,ssse3"))) FoldedCrc16 Finish(std::span<const std::uint8_t> bytes,
                                                           std::size_t consumed, __m128i a0,
                                                           __m128i a1, __m128i a2, __m128i a3) {
    const Constants& k = Folds();
    __m128i all = _mm_xor_si128(_mm_xor_si128(Move(a0, k.by384), Move(a1, k.by256)),
                                _mm_xor_si128(Move(a2, k.by128), a3));
    for (; consumed + 16 <= bytes.size(); consumed += 16) {
        all = _mm_xor_si128(Move(all, k.by128), Load(bytes.data() + consumed));
    }
    FoldedCrc16 folded;
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded.bytes.data()),
                     _mm_shuffle_epi8(all, reverse));
    folded.consumed = consumed;
    return folded;
}

__attribute__((target("pclmul,ssse3"))) FoldedCrc16 Fold(std::span<const std::uint8_t> bytes,
                                                         std::uint16_t start) {
    const Constants& k = Folds();
    const std::uint8_t* at = bytes.data();
    const std::size_t blocks = bytes.size() / 64;
    __m128i a0 = _mm_xor_si128(Load(at), StartValue(start));
    __m128i a1 = Load(at + 16);
    __m128i a2 = Load(at + 32);
    __m128i a3 = Load(at + 48);
    for (std::size_t block = 1; block < blocks; ++block) {
        at += 64;
        a0 = _mm_xor_si128(Move(a0, k.by512), Load(at));
        a1 = _mm_xor_si128(Move(a1, k.by512), Load(at + 16));
        a2 = _mm_xor_si128(Move(a2, k.by512), Load(at + 32));
        a3 = _mm_xor_si128(Move(a3, k.by512), Load(at + 48));
    }
    return Finish(bytes, blocks * 64, a0, a1, a2, a3);
}

// The same four accumulators as the lanes of one 512-bit register, where the processor
// multiplies all four at once: twice that, 128 bytes a step, so that one product waits for
// no other.
#define VELMORA_WIDE "avx512f,avx512bw,avx512dq,vpclmulqdq,pclmul,ssse3"

// The same (x^(n+64), x^n) in each lane.
__attribute__((target(VELMORA_WIDE))) __m512i PairWide(int n) {
    const auto high = static_cast<long long>(PowerOfX(n + 64));
    const auto low = static_cast<long long>(PowerOfX(n));
    return _mm512_set4_epi64(high, low, high, low);
}

__attribute__((target(VELMORA_WIDE))) __m512i LoadWide(const std::uint8_t* at) {
    // Each lane's sixteen bytes in reverse, as Load does.
    const __m512i reverse =
        _mm512_set4_epi64(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL, 0x0001020304050607LL,
                          0x08090A0B0C0D0E0FLL);
    return _mm512_shuffle_epi8(_mm512_loadu_si512(at), reverse);
}

__attribute__((target(VELMORA_WIDE))) __m512i MoveWide(__m512i value, __m512i by) {
    return _mm512_xor_si512(_mm512_clmulepi64_epi128(value, by, 0x11),
                            _mm512_clmulepi64_epi128(value, by, 0x00));
}

__attribute__((target(VELMORA_WIDE))) FoldedCrc16 FoldWide(std::span<const std::uint8_t> bytes,
                                                           std::uint16_t start) {
    static const __m512i by1024 = PairWide(1024);
    static const __m512i by512 = PairWide(512);
    const std::uint8_t* at = bytes.data();
    __m512i x0 = _mm512_xor_si512(
        LoadWide(at), _mm512_zextsi128_si512(StartValue(start)));
    __m512i x1 = LoadWide(at + 64);
    std::size_t consumed = 128;
    for (; consumed + 128 <= bytes.size(); consumed += 128) {
        x0 = _mm512_xor_si512(MoveWide(x0, by1024), LoadWide(bytes.data() + consumed));
        x1 = _mm512_xor_si512(MoveWide(x1, by1024), LoadWide(bytes.data() + consumed + 64));
    }
    __m512i x = _mm512_xor_si512(MoveWide(x0, by512), x1);
    if (consumed + 64 <= bytes.size()) {
        x = _mm512_xor_si512(MoveWide(x, by512), LoadWide(bytes.data() + consumed));
        consumed += 64;
    }
    alignas(64) __m128i lanes[4];  // NOLINT: the register's own layout
    _mm512_store_si512(lanes, x);
    return Finish(bytes, consumed, lanes[0], lanes[1], lanes[2], lanes[3]);
}

bool HaveInstructions() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
}

bool HaveWideInstructions() {
    __builtin_cpu_init();
    return HaveInstructions() && __builtin_cpu_supports("avx512f") &&
           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("vpclmulqdq");
}

}  // namespace

std::optional<FoldedCrc16> FoldCrc16(std::span<const std::uint8_t> bytes, std::uint16_t start) {
    static const bool kHave = HaveInstructions();
    static const bool kHaveWide = HaveWideInstructions();
    if (!kHave || bytes.size() < 64) {
        return std::nullopt;
    }
    return kHaveWide && bytes.size() >= 128 ? FoldWide(bytes, start) : Fold(bytes, start);
}

#else

std::optional<FoldedCrc16> FoldCrc16(std::span<const std::uint8_t>, std::uint16_t) {
    return std::nullopt;
}

#endif

}  // namespace velmora
