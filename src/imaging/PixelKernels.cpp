#include "imaging/PixelKernels.h"

#include <cstring>

namespace orvik {

namespace {

// 16 bytes, and 8 lanes of 16 bits, in the compiler's vector types: the
// same source compiles to byte shuffles where the processor has them.
typedef uint8_t V16 __attribute__((vector_size(16)));
typedef uint16_t U8 __attribute__((vector_size(16))); // eight 16-bit lanes

#define ORVIK_INLINE inline __attribute__((always_inline))

ORVIK_INLINE V16 Load(const uint8_t* p) {
    V16 v;
    std::memcpy(&v, p, 16);
    return v;
}

ORVIK_INLINE void Store(uint8_t* p, V16 v) {
    std::memcpy(p, &v, 16);
}

// Byte k of each 3-byte pixel of 48 bytes: positions 3p + k, p = 0..15.
#define P3F(p) ((3 * (p) + K) < 32 ? (3 * (p) + K) : 0)
#define P3G(p) ((3 * (p) + K) < 32 ? (p) : 16 + (3 * (p) + K) - 32)
template <int K> ORVIK_INLINE V16 Pick3(V16 e0, V16 e1, V16 e2) {
    V16 t = __builtin_shufflevector(e0, e1, P3F(0), P3F(1), P3F(2), P3F(3), P3F(4), P3F(5), P3F(6),
                                    P3F(7), P3F(8), P3F(9), P3F(10), P3F(11), P3F(12), P3F(13),
                                    P3F(14), P3F(15));
    return __builtin_shufflevector(t, e2, P3G(0), P3G(1), P3G(2), P3G(3), P3G(4), P3G(5), P3G(6),
                                   P3G(7), P3G(8), P3G(9), P3G(10), P3G(11), P3G(12), P3G(13),
                                   P3G(14), P3G(15));
}

// 16 four-byte pixels packed to three bytes each: output byte m is input
// byte (m / 3) * 4 + m % 3; part C reads inputs C and C + 1.
#define PK(m) (((16 * C + (m)) / 3) * 4 + (16 * C + (m)) % 3 - 16 * C)
template <int C> ORVIK_INLINE V16 Pack4To3(V16 lo, V16 hi) {
    return __builtin_shufflevector(lo, hi, PK(0), PK(1), PK(2), PK(3), PK(4), PK(5), PK(6), PK(7),
                                   PK(8), PK(9), PK(10), PK(11), PK(12), PK(13), PK(14), PK(15));
}

// Four three-byte pixels from bytes 12Q .. 12Q + 11 of 48, into the first
// three bytes of four 4-byte lanes.
#define UB(j) ((j) % 4 == 3 ? 0 : 12 * Q + ((j) / 4) * 3 + (j) % 4 - 16 * (Q * 12 / 16))
template <int Q> ORVIK_INLINE V16 Unpack3To4(V16 lo, V16 hi) {
    return __builtin_shufflevector(lo, hi, UB(0), UB(1), UB(2), UB(3), UB(4), UB(5), UB(6), UB(7),
                                   UB(8), UB(9), UB(10), UB(11), UB(12), UB(13), UB(14), UB(15));
}

ORVIK_INLINE V16 Bytes48(const uint8_t* s, int sourceBytes, int part) {
    if (sourceBytes == 3)
        return Load(s + 16 * part);
    switch (part) {
    case 0:
        return Pack4To3<0>(Load(s), Load(s + 16));
    case 1:
        return Pack4To3<1>(Load(s + 16), Load(s + 32));
    default:
        return Pack4To3<2>(Load(s + 32), Load(s + 48));
    }
}

// --- Row bodies, compiled once per instruction set -------------------------

ORVIK_INLINE void Row24To32Body(uint8_t* t, const uint8_t* s, int n) {
    const V16 alpha = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const uint8_t* p = s + 3 * i;
        uint8_t* q = t + 4 * i;
        V16 e0 = Load(p), e1 = Load(p + 16), e2 = Load(p + 32);
        V16 o[4] = {Unpack3To4<0>(e0, e1), Unpack3To4<1>(e0, e1), Unpack3To4<2>(e1, e2),
                    Unpack3To4<3>(e2, e2)};
        for (int k = 0; k < 4; ++k)
            Store(q + 16 * k, (o[k] & ~alpha) | (Load(q + 16 * k) & alpha));
    }
    for (; i < n; ++i) {
        t[4 * i] = s[3 * i];
        t[4 * i + 1] = s[3 * i + 1];
        t[4 * i + 2] = s[3 * i + 2];
    }
}

ORVIK_INLINE void Row32To24Body(uint8_t* t, const uint8_t* s, int n) {
    int i = 0;
    for (; i + 16 <= n; i += 16)
        for (int c = 0; c < 3; ++c)
            Store(t + 3 * i + 16 * c, Bytes48(s + 4 * i, 4, c));
    for (; i < n; ++i) {
        t[3 * i] = s[4 * i];
        t[3 * i + 1] = s[4 * i + 1];
        t[3 * i + 2] = s[4 * i + 2];
    }
}

ORVIK_INLINE void Key24Body(uint8_t* t, const uint8_t* s, int n, const uint8_t key[3]) {
    int i = 0;
    if (n >= 16) {
        V16 k[3];
        uint8_t pattern[48];
        for (int j = 0; j < 48; ++j)
            pattern[j] = key[j % 3];
        for (int c = 0; c < 3; ++c)
            k[c] = Load(pattern + 16 * c);
        for (; i + 16 <= n; i += 16) {
            const uint8_t* p = s + 3 * i;
            V16 e0 = (V16)(Load(p) == k[0]), e1 = (V16)(Load(p + 16) == k[1]),
                e2 = (V16)(Load(p + 32) == k[2]);
            V16 match = Pick3<0>(e0, e1, e2) & Pick3<1>(e0, e1, e2) & Pick3<2>(e0, e1, e2);
            Store(t + i, ~match);
        }
    }
    for (; i < n; ++i) {
        const uint8_t* p = s + 3 * i;
        t[i] = (p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) ? 0 : 255;
    }
}

void Row24To32Plain(uint8_t* t, const uint8_t* s, int n) {
    Row24To32Body(t, s, n);
}
void Row32To24Plain(uint8_t* t, const uint8_t* s, int n) {
    Row32To24Body(t, s, n);
}
void Key24Plain(uint8_t* t, const uint8_t* s, int n, const uint8_t key[3]) {
    Key24Body(t, s, n, key);
}

#if defined(__x86_64__) || defined(__i386__)
#define ORVIK_SHUFFLES __attribute__((target("ssse3")))
ORVIK_SHUFFLES void Row24To32Shuffles(uint8_t* t, const uint8_t* s, int n) {
    Row24To32Body(t, s, n);
}
ORVIK_SHUFFLES void Row32To24Shuffles(uint8_t* t, const uint8_t* s, int n) {
    Row32To24Body(t, s, n);
}
ORVIK_SHUFFLES void Key24Shuffles(uint8_t* t, const uint8_t* s, int n, const uint8_t key[3]) {
    Key24Body(t, s, n, key);
}

bool HasShuffles() {
    static const bool yes = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return yes;
}
#else
bool HasShuffles() {
    return false;
}
#define Row24To32Shuffles Row24To32Plain
#define Row32To24Shuffles Row32To24Plain
#define Key24Shuffles Key24Plain
#endif

} // namespace

void PixelKernels::Row24To32(uint8_t* t, const uint8_t* s, int n) {
    HasShuffles() ? Row24To32Shuffles(t, s, n) : Row24To32Plain(t, s, n);
}

void PixelKernels::Row32To24(uint8_t* t, const uint8_t* s, int n) {
    HasShuffles() ? Row32To24Shuffles(t, s, n) : Row32To24Plain(t, s, n);
}

void PixelKernels::Key24(uint8_t* t, const uint8_t* s, int n, const uint8_t key[3]) {
    HasShuffles() ? Key24Shuffles(t, s, n, key) : Key24Plain(t, s, n, key);
}

} // namespace orvik
