// Compositing rows: a source laid over a 24-bit target through alpha values,
// built for the per-pixel loop, SSE2, AVX2 and AVX-512; the widest the
// processor has runs.
//
// All vector builds blend in 16-bit lanes, with the bytes left in place: a
// lane holds an even byte (low) and an odd one (high) of the target, and each
// is worked out in a lane of its own with the weight of its pixel. The plain
// rule (s * a + d * (256 - a)) >> 8 is the high byte of (d << 8) + (s - d) *
// a: its true value lies in 0 .. 255 * 256, so the sum may wrap in 16 bits
// and still be exact. An alpha of 255 gives the source; it is carried as a
// weight of 256 (SSE2) or laid over the result by a byte mask (AVX2,
// AVX-512). The premultiplied rule min(s, a) + ((d * (256 - a)) >> 8) never
// exceeds 255, and gives the source at 255 and the target at 0 as written.
//
// Blocks of 16, 32 or 64 pixels whose alphas are all 0 are skipped, and those
// whose alphas are all 255 are copied, as titles over video mostly are.
#include "imaging/PixelKernels.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 takes the deliberately undefined vectors inside its own AVX-512
// intrinsics (shifts, permutes) for uninitialized variables.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace orvik {

namespace {

#define ORVIK_INLINE inline __attribute__((always_inline))

// The per-pixel rules: the reference the vector builds match, and their
// tails.
template <int SB, int AS, bool P>
ORVIK_INLINE void RuleRow(uint8_t* d, const uint8_t* s, const uint8_t* a, int n) {
    for (int i = 0; i < n; ++i) {
        const int v = a[AS * i];
        if (v == 0)
            continue;
        uint8_t* t = d + 3 * i;
        const uint8_t* u = s + SB * i;
        if (v == 255) {
            t[0] = u[0], t[1] = u[1], t[2] = u[2];
            continue;
        }
        for (int c = 0; c < 3; ++c)
            t[c] = static_cast<uint8_t>(P ? std::min<int>(u[c], v) + ((t[c] * (256 - v)) >> 8)
                                          : (u[c] * v + t[c] * (256 - v)) >> 8);
    }
}

template <int SB, int AS, bool P>
void ReferenceRow(uint8_t* d, const uint8_t* s, const uint8_t* a, int n) {
    RuleRow<SB, AS, P>(d, s, a, n);
}

#if defined(__x86_64__)

// Index tables of the byte shuffles, worked out at compile time.
struct Bytes64 {
    alignas(64) uint8_t b[64];
};
template <typename F> constexpr Bytes64 Table(F f) {
    Bytes64 t{};
    for (int j = 0; j < 64; ++j)
        t.b[j] = static_cast<uint8_t>(f(j));
    return t;
}

// --- SSE2: 16 pixels a step ------------------------------------------------

// Word selectors of the shuffles: element i takes element e_i.
#define SEL(e0, e1, e2, e3) ((e0) | ((e1) << 2) | ((e2) << 4) | ((e3) << 6))

ORVIK_INLINE __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
ORVIK_INLINE void Store16(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// The weights of the even (we) and odd (wo) bytes of the 48 target bytes of
// 16 pixels, as words, from the pixels' alphas as words (lo: pixels 0-7, hi:
// 8-15); an alpha of 255 weighs 256. Target byte j belongs to pixel j / 3, so
// the even bytes of the three 16-byte parts belong to pixels 0 0 1 2 2 3 4 4
// | 5 6 6 7 8 8 9 10 | 10 11 12 12 13 14 14 15 and the odd ones to 0 1 1 2 3
// 3 4 5 | 5 6 7 7 8 9 9 10 | 11 11 12 13 13 14 15 15.
ORVIK_INLINE void Sse2Weights(__m128i lo, __m128i hi, __m128i we[3], __m128i wo[3]) {
    const __m128i v255 = _mm_set1_epi16(255);
    lo = _mm_sub_epi16(lo, _mm_cmpeq_epi16(lo, v255));
    hi = _mm_sub_epi16(hi, _mm_cmpeq_epi16(hi, v255));
    // Pixels 0 1 2 3 | 2 3 4 5, 4 5 6 7 | 8 9 10 11 and 10 11 12 13 | 12 13 14 15.
    const __m128i b0 = _mm_shuffle_epi32(lo, SEL(0, 1, 1, 2));
    const __m128i b1 = _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(lo), _mm_castsi128_ps(hi), SEL(2, 3, 0, 1)));
    const __m128i b2 = _mm_shuffle_epi32(hi, SEL(1, 2, 2, 3));
    we[0] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b0, SEL(0, 0, 1, 2)), SEL(0, 1, 2, 2));
    wo[0] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b0, SEL(0, 1, 1, 2)), SEL(1, 1, 2, 3));
    we[1] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b1, SEL(1, 2, 2, 3)), SEL(0, 0, 1, 2));
    wo[1] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b1, SEL(1, 2, 3, 3)), SEL(0, 1, 1, 2));
    we[2] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b2, SEL(0, 1, 2, 2)), SEL(1, 2, 2, 3));
    wo[2] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b2, SEL(1, 1, 2, 3)), SEL(1, 2, 3, 3));
}

// 16 target bytes blended with 16 source bytes by word weights 0..256.
template <bool P> ORVIK_INLINE __m128i Sse2Blend(__m128i d, __m128i s, __m128i we, __m128i wo) {
    const __m128i low = _mm_set1_epi16(0x00FF), high = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i de = _mm_and_si128(d, low), dd = _mm_srli_epi16(d, 8);
    const __m128i se = _mm_and_si128(s, low), so = _mm_srli_epi16(s, 8);
    if (P) {
        const __m128i v256 = _mm_set1_epi16(256);
        __m128i even = _mm_add_epi16(
            _mm_min_epi16(se, we), _mm_srli_epi16(_mm_mullo_epi16(de, _mm_sub_epi16(v256, we)), 8));
        __m128i odd =
            _mm_add_epi16(_mm_slli_epi16(_mm_min_epi16(so, wo), 8),
                          _mm_and_si128(_mm_mullo_epi16(dd, _mm_sub_epi16(v256, wo)), high));
        return _mm_or_si128(even, odd);
    }
    __m128i even = _mm_add_epi16(_mm_slli_epi16(d, 8), _mm_mullo_epi16(_mm_sub_epi16(se, de), we));
    __m128i odd = _mm_add_epi16(_mm_and_si128(d, high), _mm_mullo_epi16(_mm_sub_epi16(so, dd), wo));
    return _mm_or_si128(_mm_srli_epi16(even, 8), _mm_and_si128(odd, high));
}

// Four 4-byte pixels to their first three bytes, in bytes 0-11 (12-15 zero).
ORVIK_INLINE __m128i Sse2Pack12(__m128i v) {
    const __m128i first3 = _mm_set1_epi64x(0xFFFFFF), next3 = _mm_set1_epi64x(0xFFFFFF000000);
    v = _mm_or_si128(_mm_and_si128(v, first3), _mm_and_si128(_mm_srli_epi64(v, 8), next3));
    const __m128i bytes0to5 = _mm_set_epi64x(0, 0xFFFFFFFFFFFF);
    const __m128i bytes6to11 =
        _mm_set_epi64x(0xFFFFFFFF, static_cast<long long>(0xFFFF000000000000ull));
    return _mm_or_si128(_mm_and_si128(v, bytes0to5),
                        _mm_and_si128(_mm_srli_si128(v, 2), bytes6to11));
}

// The 48 source bytes of 16 pixels in target order.
template <int SB> ORVIK_INLINE void Sse2Source(const uint8_t* s, __m128i out[3]) {
    if (SB == 3) {
        for (int k = 0; k < 3; ++k)
            out[k] = Load16(s + 16 * k);
        return;
    }
    const __m128i r0 = Sse2Pack12(Load16(s)), r1 = Sse2Pack12(Load16(s + 16));
    const __m128i r2 = Sse2Pack12(Load16(s + 32)), r3 = Sse2Pack12(Load16(s + 48));
    out[0] = _mm_or_si128(r0, _mm_slli_si128(r1, 12));
    out[1] = _mm_or_si128(_mm_srli_si128(r1, 4), _mm_slli_si128(r2, 8));
    out[2] = _mm_or_si128(_mm_srli_si128(r2, 8), _mm_slli_si128(r3, 4));
}

template <int SB, int AS, bool P>
ORVIK_INLINE void Sse2Block(uint8_t* d, const uint8_t* s, const uint8_t* a) {
    const __m128i zero = _mm_setzero_si128();
    __m128i bytes, lo, hi;
    if (AS == 1) {
        bytes = Load16(a);
        lo = _mm_unpacklo_epi8(bytes, zero);
        hi = _mm_unpackhi_epi8(bytes, zero);
    } else {
        // The fourth byte of each of 16 four-byte pixels.
        const uint8_t* p = a - 3;
        lo = _mm_packs_epi32(_mm_srli_epi32(Load16(p), 24), _mm_srli_epi32(Load16(p + 16), 24));
        hi =
            _mm_packs_epi32(_mm_srli_epi32(Load16(p + 32), 24), _mm_srli_epi32(Load16(p + 48), 24));
        bytes = _mm_packus_epi16(lo, hi);
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)) == 0xFFFF)
        return;
    __m128i src[3];
    Sse2Source<SB>(s, src);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(-1))) == 0xFFFF) {
        for (int k = 0; k < 3; ++k)
            Store16(d + 16 * k, src[k]);
        return;
    }
    __m128i we[3], wo[3];
    Sse2Weights(lo, hi, we, wo);
    for (int k = 0; k < 3; ++k)
        Store16(d + 16 * k, Sse2Blend<P>(Load16(d + 16 * k), src[k], we[k], wo[k]));
}

template <int SB, int AS, bool P>
void Sse2Row(uint8_t* d, const uint8_t* s, const uint8_t* a, int n) {
    int i = 0;
    for (; i + 16 <= n; i += 16)
        Sse2Block<SB, AS, P>(d + 3 * i, s + SB * i, a + AS * i);
    if (i < n)
        RuleRow<SB, AS, P>(d + 3 * i, s + SB * i, a + AS * i, n - i);
}

// --- AVX2: 32 pixels a step -------------------------------------------------

#define ORVIK_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Byte shuffles within 16-byte lanes. Spreading 32 alphas over the 96 target
// bytes: part 0 reads alphas 0-15 (in both lanes), part 1 alphas 0-15 (low
// lane) and 16-31 (high lane), part 2 alphas 16-31 (both lanes).
constexpr Bytes64 kAvx2Spread01 =
    Table([](int j) { return j < 32 ? j / 3 : (j < 48 ? j / 3 : j / 3 - 16); });
constexpr Bytes64 kAvx2Spread2 = Table([](int j) { return (64 + j % 32) / 3 - 16; });
// Four 4-byte pixels of a lane to 12 bytes at its start.
constexpr Bytes64 kAvx2Pack =
    Table([](int j) { return j % 16 < 12 ? (j % 16 / 3) * 4 + j % 16 % 3 : 0x80; });

ORVIK_AVX2 __m256i Load32(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ORVIK_AVX2 void Store32(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
// Four-byte groups e0..e7 of v.
ORVIK_AVX2 __m256i Dwords(__m256i v, int e0, int e1, int e2, int e3, int e4, int e5, int e6,
                          int e7) {
    return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(e0, e1, e2, e3, e4, e5, e6, e7));
}

// The 96 source bytes of 32 pixels in target order.
template <int SB> ORVIK_AVX2 void Avx2Source(const uint8_t* s, __m256i out[3]) {
    if (SB == 3) {
        for (int k = 0; k < 3; ++k)
            out[k] = Load32(s + 32 * k);
        return;
    }
    // Each lane packed to three four-byte groups at its start; then the groups
    // of the four registers (six each) gathered into three.
    const __m256i pack = Load32(kAvx2Pack.b);
    __m256i t[4];
    for (int r = 0; r < 4; ++r)
        t[r] = _mm256_shuffle_epi8(Load32(s + 32 * r), pack);
    out[0] = _mm256_blend_epi32(Dwords(t[0], 0, 1, 2, 4, 5, 6, 0, 0),
                                Dwords(t[1], 0, 0, 0, 0, 0, 0, 0, 1), 0xC0);
    out[1] = _mm256_blend_epi32(Dwords(t[1], 2, 4, 5, 6, 0, 0, 0, 0),
                                Dwords(t[2], 0, 0, 0, 0, 0, 1, 2, 4), 0xF0);
    out[2] = _mm256_blend_epi32(Dwords(t[2], 5, 6, 0, 0, 0, 0, 0, 0),
                                Dwords(t[3], 0, 0, 0, 1, 2, 4, 5, 6), 0xFC);
}

// 32 target bytes blended with 32 source bytes by the byte weights w.
template <bool P> ORVIK_AVX2 __m256i Avx2Blend(__m256i d, __m256i s, __m256i w) {
    const __m256i low = _mm256_set1_epi16(0x00FF);
    const __m256i high = _mm256_set1_epi16(static_cast<short>(0xFF00));
    const __m256i we = _mm256_and_si256(w, low), wo = _mm256_srli_epi16(w, 8);
    const __m256i de = _mm256_and_si256(d, low), dd = _mm256_srli_epi16(d, 8);
    if (P) {
        const __m256i v256 = _mm256_set1_epi16(256);
        const __m256i keep = _mm256_or_si256(
            _mm256_srli_epi16(_mm256_mullo_epi16(de, _mm256_sub_epi16(v256, we)), 8),
            _mm256_and_si256(_mm256_mullo_epi16(dd, _mm256_sub_epi16(v256, wo)), high));
        return _mm256_add_epi8(_mm256_min_epu8(s, w), keep);
    }
    const __m256i se = _mm256_and_si256(s, low), so = _mm256_srli_epi16(s, 8);
    const __m256i even =
        _mm256_add_epi16(_mm256_slli_epi16(d, 8), _mm256_mullo_epi16(_mm256_sub_epi16(se, de), we));
    const __m256i odd = _mm256_add_epi16(_mm256_and_si256(d, high),
                                         _mm256_mullo_epi16(_mm256_sub_epi16(so, dd), wo));
    const __m256i out = _mm256_or_si256(_mm256_srli_epi16(even, 8), _mm256_and_si256(odd, high));
    return _mm256_blendv_epi8(out, s, _mm256_cmpeq_epi8(w, _mm256_set1_epi8(-1)));
}

template <int SB, int AS, bool P>
ORVIK_AVX2 void Avx2Block(uint8_t* d, const uint8_t* s, const uint8_t* a) {
    __m256i alpha;
    if (AS == 1) {
        alpha = Load32(a);
    } else {
        // The fourth byte of each of 32 four-byte pixels; the packs work
        // within lanes, the last step puts the groups of four in order.
        const uint8_t* p = a - 3;
        __m256i q[4];
        for (int r = 0; r < 4; ++r)
            q[r] = _mm256_srli_epi32(Load32(p + 32 * r), 24);
        alpha =
            _mm256_packus_epi16(_mm256_packus_epi32(q[0], q[1]), _mm256_packus_epi32(q[2], q[3]));
        alpha = _mm256_permutevar8x32_epi32(alpha, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    }
    if (_mm256_testz_si256(alpha, alpha))
        return;
    __m256i src[3];
    Avx2Source<SB>(s, src);
    if (_mm256_testc_si256(alpha, _mm256_set1_epi8(-1))) {
        for (int k = 0; k < 3; ++k)
            Store32(d + 32 * k, src[k]);
        return;
    }
    const __m256i spread01 = Load32(kAvx2Spread01.b), spread1 = Load32(kAvx2Spread01.b + 32);
    const __m256i w[3] = {
        _mm256_shuffle_epi8(_mm256_permute2x128_si256(alpha, alpha, 0x00), spread01),
        _mm256_shuffle_epi8(alpha, spread1),
        _mm256_shuffle_epi8(_mm256_permute2x128_si256(alpha, alpha, 0x11), Load32(kAvx2Spread2.b))};
    for (int k = 0; k < 3; ++k)
        Store32(d + 32 * k, Avx2Blend<P>(Load32(d + 32 * k), src[k], w[k]));
}

template <int SB, int AS, bool P>
__attribute__((target("avx2"))) void Avx2Row(uint8_t* d, const uint8_t* s, const uint8_t* a,
                                             int n) {
    int i = 0;
    for (; i + 32 <= n; i += 32)
        Avx2Block<SB, AS, P>(d + 3 * i, s + SB * i, a + AS * i);
    if (i + 16 <= n) {
        Sse2Block<SB, AS, P>(d + 3 * i, s + SB * i, a + AS * i);
        i += 16;
    }
    if (i < n)
        RuleRow<SB, AS, P>(d + 3 * i, s + SB * i, a + AS * i, n - i);
}

// --- AVX-512 with byte permutes: 64 pixels a step --------------------------

#define ORVIK_AVX512_TARGET target("avx512f,avx512bw,avx512vbmi")
#define ORVIK_AVX512 __attribute__((ORVIK_AVX512_TARGET, always_inline)) inline

// Target byte j of part k belongs to pixel (64k + j) / 3: its alpha is byte
// (64k + j) / 3 of 64 alphas, or byte 4 ((64k + j) / 3) + 3 - 64k of the
// 128 bytes of 4-byte alpha pixels from 64k on; its source byte (from
// 4-byte pixels) is byte 4 (g / 3) + g % 3 - 64k of the 128 from 64k on,
// g = 64k + j.
template <int K> constexpr Bytes64 kSpread = Table([](int j) { return (64 * K + j) / 3; });
template <int K>
constexpr Bytes64 kSpread4 = Table([](int j) { return 4 * ((64 * K + j) / 3) + 3 - 64 * K; });
template <int K>
constexpr Bytes64 kPack4 = Table([](int j) {
    return 4 * ((64 * K + j) / 3) + (64 * K + j) % 3 - 64 * K;
});

// The first `count` bits (count may lie outside 0..64).
ORVIK_INLINE __mmask64 FirstBits(int count) {
    return count >= 64 ? ~__mmask64{0} : count <= 0 ? 0 : (__mmask64{1} << count) - 1;
}

// The 64 bytes at p + at; in a tail only those of `mask`, the rest zero (a
// part wholly outside the row is not addressed at all).
template <bool Tail> ORVIK_AVX512 __m512i Load64(const uint8_t* p, int at, __mmask64 mask) {
    if (!Tail)
        return _mm512_loadu_si512(p + at);
    return mask ? _mm512_maskz_loadu_epi8(mask, p + at) : _mm512_setzero_si512();
}
ORVIK_AVX512 __m512i Index(const Bytes64& t) {
    return _mm512_load_si512(t.b);
}

// 64 target bytes blended with 64 source bytes by the byte weights w.
template <bool P> ORVIK_AVX512 __m512i Avx512Blend(__m512i d, __m512i s, __m512i w) {
    const __m512i low = _mm512_set1_epi16(0x00FF);
    const __mmask64 oddBytes = 0xAAAAAAAAAAAAAAAAull;
    const __m512i we = _mm512_and_si512(w, low), wo = _mm512_srli_epi16(w, 8);
    const __m512i de = _mm512_and_si512(d, low), dd = _mm512_srli_epi16(d, 8);
    if (P) {
        const __m512i v256 = _mm512_set1_epi16(256);
        const __m512i keep = _mm512_mask_blend_epi8(
            oddBytes, _mm512_srli_epi16(_mm512_mullo_epi16(de, _mm512_sub_epi16(v256, we)), 8),
            _mm512_mullo_epi16(dd, _mm512_sub_epi16(v256, wo)));
        return _mm512_add_epi8(_mm512_min_epu8(s, w), keep);
    }
    const __m512i se = _mm512_and_si512(s, low), so = _mm512_srli_epi16(s, 8);
    const __m512i even =
        _mm512_add_epi16(_mm512_slli_epi16(d, 8), _mm512_mullo_epi16(_mm512_sub_epi16(se, de), we));
    const __m512i odd = _mm512_add_epi16(_mm512_slli_epi16(dd, 8),
                                         _mm512_mullo_epi16(_mm512_sub_epi16(so, dd), wo));
    const __m512i out = _mm512_mask_blend_epi8(oddBytes, _mm512_srli_epi16(even, 8), odd);
    return _mm512_mask_mov_epi8(out, _mm512_cmpeq_epi8_mask(w, _mm512_set1_epi8(-1)), s);
}

// 64 pixels, or in a tail the first m (1..63) through masked loads and
// stores, without the skip and copy checks.
template <int SB, int AS, bool P, bool Tail>
ORVIK_AVX512 void Avx512Block(uint8_t* d, const uint8_t* s, const uint8_t* a, int m) {
    const __m512i ones = _mm512_set1_epi8(-1);
    __m512i w[3];
    bool opaque = false;
    if (AS == 1) {
        const __m512i alpha = Load64<Tail>(a, 0, FirstBits(m));
        if (!Tail) {
            if (_mm512_test_epi8_mask(alpha, alpha) == 0)
                return;
            opaque = _mm512_cmpeq_epi8_mask(alpha, ones) == ~__mmask64{0};
        }
        if (!opaque) {
            w[0] = _mm512_permutexvar_epi8(Index(kSpread<0>), alpha);
            w[1] = _mm512_permutexvar_epi8(Index(kSpread<1>), alpha);
            w[2] = _mm512_permutexvar_epi8(Index(kSpread<2>), alpha);
        }
    } else {
        const uint8_t* p = a - 3;
        __m512i q[4];
        for (int r = 0; r < 4; ++r)
            q[r] = Load64<Tail>(p, 64 * r, FirstBits(4 * m - 64 * r));
        if (!Tail) {
            const __m512i alphaBytes = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
            const __m512i any =
                _mm512_or_si512(_mm512_or_si512(q[0], q[1]), _mm512_or_si512(q[2], q[3]));
            if (_mm512_test_epi32_mask(any, alphaBytes) == 0)
                return;
            const __m512i all =
                _mm512_and_si512(_mm512_and_si512(q[0], q[1]), _mm512_and_si512(q[2], q[3]));
            opaque = _mm512_test_epi32_mask(_mm512_andnot_si512(all, alphaBytes), alphaBytes) == 0;
        }
        if (!opaque) {
            w[0] = _mm512_permutex2var_epi8(q[0], Index(kSpread4<0>), q[1]);
            w[1] = _mm512_permutex2var_epi8(q[1], Index(kSpread4<1>), q[2]);
            w[2] = _mm512_permutex2var_epi8(q[2], Index(kSpread4<2>), q[3]);
        }
    }
    __m512i src[3];
    if (SB == 3) {
        for (int k = 0; k < 3; ++k)
            src[k] = Load64<Tail>(s, 64 * k, FirstBits(3 * m - 64 * k));
    } else {
        __m512i v[4];
        for (int r = 0; r < 4; ++r)
            v[r] = Load64<Tail>(s, 64 * r, FirstBits(4 * m - 64 * r));
        src[0] = _mm512_permutex2var_epi8(v[0], Index(kPack4<0>), v[1]);
        src[1] = _mm512_permutex2var_epi8(v[1], Index(kPack4<1>), v[2]);
        src[2] = _mm512_permutex2var_epi8(v[2], Index(kPack4<2>), v[3]);
    }
    for (int k = 0; k < 3; ++k) {
        const __mmask64 mask = Tail ? FirstBits(3 * m - 64 * k) : ~__mmask64{0};
        if (!mask)
            break;
        uint8_t* dp = d + 64 * k;
        if (!Tail && opaque) {
            _mm512_storeu_si512(dp, src[k]);
            continue;
        }
        const __m512i old = Tail ? _mm512_maskz_loadu_epi8(mask, dp) : _mm512_loadu_si512(dp);
        const __m512i out = Avx512Blend<P>(old, src[k], w[k]);
        if (Tail)
            _mm512_mask_storeu_epi8(dp, mask, out);
        else
            _mm512_storeu_si512(dp, out);
    }
}

template <int SB, int AS, bool P>
__attribute__((ORVIK_AVX512_TARGET)) void Avx512Row(uint8_t* d, const uint8_t* s, const uint8_t* a,
                                                    int n) {
    int i = 0;
    for (; i + 64 <= n; i += 64)
        Avx512Block<SB, AS, P, false>(d + 3 * i, s + SB * i, a + AS * i, 64);
    if (i < n)
        Avx512Block<SB, AS, P, true>(d + 3 * i, s + SB * i, a + AS * i, n - i);
}

#endif // __x86_64__

using Row = PixelKernels::CompositeRow;
using Isa = PixelKernels::Isa;

// The rows of one build, by [source bytes == 4][alpha step == 4][premultiplied].
struct RowSet {
    Row rows[2][2][2];
};

template <template <int, int, bool> class B> constexpr RowSet MakeRowSet() {
    return {
        {{{B<3, 1, false>::row, B<3, 1, true>::row}, {B<3, 4, false>::row, B<3, 4, true>::row}},
         {{B<4, 1, false>::row, B<4, 1, true>::row}, {B<4, 4, false>::row, B<4, 4, true>::row}}}};
}

template <int SB, int AS, bool P> struct ReferenceBuild {
    static constexpr Row row = ReferenceRow<SB, AS, P>;
};
#if defined(__x86_64__)
template <int SB, int AS, bool P> struct Sse2Build {
    static constexpr Row row = Sse2Row<SB, AS, P>;
};
template <int SB, int AS, bool P> struct Avx2Build {
    static constexpr Row row = Avx2Row<SB, AS, P>;
};
template <int SB, int AS, bool P> struct Avx512Build {
    static constexpr Row row = Avx512Row<SB, AS, P>;
};
constexpr RowSet kBuilds[] = {MakeRowSet<ReferenceBuild>(), MakeRowSet<Sse2Build>(),
                              MakeRowSet<Avx2Build>(), MakeRowSet<Avx512Build>()};

Isa WidestIsa() {
    static const Isa widest = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi"))
            return Isa::avx512;
        if (__builtin_cpu_supports("avx2"))
            return Isa::avx2;
        return Isa::sse2;
    }();
    return widest;
}
#else
constexpr RowSet kBuilds[] = {MakeRowSet<ReferenceBuild>()};

Isa WidestIsa() {
    return Isa::reference;
}
#endif

std::atomic<int> limit{static_cast<int>(Isa::avx512)};

} // namespace

std::vector<PixelKernels::Isa> PixelKernels::CompositeIsas() {
    std::vector<Isa> isas;
    for (int i = 0; i <= static_cast<int>(WidestIsa()); ++i)
        isas.push_back(static_cast<Isa>(i));
    return isas;
}

const char* PixelKernels::IsaName(Isa isa) {
    switch (isa) {
    case Isa::reference:
        return "reference";
    case Isa::sse2:
        return "sse2";
    case Isa::avx2:
        return "avx2";
    case Isa::avx512:
        return "avx512";
    }
    return "?";
}

void PixelKernels::LimitCompositeIsa(Isa isa) {
    limit.store(static_cast<int>(isa), std::memory_order_relaxed);
}

PixelKernels::Isa PixelKernels::CompositeIsa() {
    return static_cast<Isa>(
        std::min(static_cast<int>(WidestIsa()), limit.load(std::memory_order_relaxed)));
}

PixelKernels::CompositeRow PixelKernels::CompositeRowFor(int sourceBytes, int alphaStep,
                                                         bool premultiplied) {
    return kBuilds[static_cast<int>(CompositeIsa())]
        .rows[sourceBytes == 4][alphaStep == 4][premultiplied];
}

void PixelKernels::Composite(uint8_t* d, const uint8_t* s, int sourceBytes, const uint8_t* a,
                             int alphaStep, int n, bool premultiplied) {
    CompositeRowFor(sourceBytes, alphaStep, premultiplied)(d, s, a, n);
}

} // namespace orvik
