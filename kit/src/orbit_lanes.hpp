// Four lanes of doubles, floats and 32-bit words: the shapes the orbit plotter's vector path
// computes in, on the two instruction sets it is built for.
//
// - x86-64: AVX2 with FMA, one 256-bit register a value of four doubles. The rest of the build
//   stays SSE2, so every function here and in the kernel is compiled for AVX2 one by one (target
//   attributes) and reached only after a run-time check of the processor.
// - WebAssembly with SIMD (-msimd128): the compiler splits a value of four doubles into two
//   128-bit registers by itself.
//
// The arithmetic is written with the compilers' vector extensions (+ - * & | ^ << and the
// comparisons act lane by lane, a comparison yielding all ones or zero per lane). What they do
// not turn into the same few instructions on both sets is spelled out here: the multiply-add, the
// conversions between doubles and singles, the rounding toward zero, the blend and the any-lane
// test.
#pragma once

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#define KIT_LANES_AVAILABLE 1
#define KIT_LANES_TARGET __attribute__((target("avx2,fma")))
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#define KIT_LANES_AVAILABLE 1
#define KIT_LANES_TARGET
#else
#define KIT_LANES_AVAILABLE 0
#endif

#if KIT_LANES_AVAILABLE

// The kernel's own functions carry KIT_LANES_TARGET; these small ones are always inlined into
// them.
#define KIT_LANES KIT_LANES_TARGET __attribute__((always_inline)) inline

namespace kit::lanes {

using Doubles = double __attribute__((vector_size(32)));
using Floats = float __attribute__((vector_size(16)));
using Words = std::uint32_t __attribute__((vector_size(16)));
// What comparing Doubles yields (all ones or zero per lane); also their bits.
using Bits = decltype(Doubles{} < Doubles{});

KIT_LANES Doubles splat(double v) {
    return Doubles{v, v, v, v};
}

KIT_LANES Bits bits(Doubles v) {
    return reinterpret_cast<Bits>(v);
}

KIT_LANES Doubles from_bits(Bits v) {
    return reinterpret_cast<Doubles>(v);
}

KIT_LANES Words bits(Floats v) {
    return reinterpret_cast<Words>(v);
}

// The low 32 bits of each lane.
KIT_LANES Words low_words(Bits v) {
    using Words8 = std::uint32_t __attribute__((vector_size(32)));
    const Words8 words = reinterpret_cast<Words8>(v);
    return __builtin_shufflevector(words, words, 0, 2, 4, 6);
}

// Four consecutive words of each of a, b, c, d become four words of one lane each: afterwards a
// holds lane 0 of the four inputs, b lane 1, and so on.
KIT_LANES void transpose(Words& a, Words& b, Words& c, Words& d) {
    const Words ab_low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const Words ab_high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const Words cd_low = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const Words cd_high = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector(ab_low, cd_low, 0, 1, 4, 5);
    b = __builtin_shufflevector(ab_low, cd_low, 2, 3, 6, 7);
    c = __builtin_shufflevector(ab_high, cd_high, 0, 1, 4, 5);
    d = __builtin_shufflevector(ab_high, cd_high, 2, 3, 6, 7);
}

#if defined(__x86_64__)

// a * b + c, rounded once.
KIT_LANES Doubles multiply_add(Doubles a, Doubles b, Doubles c) {
    return _mm256_fmadd_pd(a, b, c);
}

// Each lane rounded to single precision (to nearest, ties to even).
KIT_LANES Floats to_single(Doubles v) {
    return _mm256_cvtpd_ps(v);
}

KIT_LANES Doubles widen(Floats v) {
    return _mm256_cvtps_pd(v);
}

// Each lane rounded to single precision and widened again.
KIT_LANES Doubles round_single(Doubles v) {
    return widen(to_single(v));
}

KIT_LANES Doubles toward_zero(Doubles v) {
    return _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}

// Lane by lane: where m, a; elsewhere b.
KIT_LANES Doubles select(Bits m, Doubles a, Doubles b) {
    return _mm256_blendv_pd(b, a, reinterpret_cast<__m256d>(m));
}

// Whether any lane is nonzero.
KIT_LANES bool any(Words w) {
    return !_mm_testz_si128(reinterpret_cast<__m128i>(w), reinterpret_cast<__m128i>(w));
}

#else

using Pair = double __attribute__((vector_size(16)));

template <typename V> KIT_LANES v128_t low(V v) {
    return reinterpret_cast<v128_t>(__builtin_shufflevector(v, v, 0, 1));
}

template <typename V> KIT_LANES v128_t high(V v) {
    return reinterpret_cast<v128_t>(__builtin_shufflevector(v, v, 2, 3));
}

KIT_LANES Doubles join(v128_t low, v128_t high) {
    return __builtin_shufflevector(reinterpret_cast<Pair>(low), reinterpret_cast<Pair>(high), 0, 1,
                                   2, 3);
}

// clang folds a narrowing followed by a widening into conversions lane by lane, each through a
// scalar; an empty assembler statement between them keeps the two vector instructions.
KIT_LANES v128_t opaque(v128_t v) {
    __asm__("" : "+r"(v));
    return v;
}

// a * b + c, rounded twice: WebAssembly has no multiply-add that is certain to fuse.
KIT_LANES Doubles multiply_add(Doubles a, Doubles b, Doubles c) {
    return a * b + c;
}

KIT_LANES Floats to_single(Doubles v) {
    const v128_t both = wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(low(v)),
                                           wasm_f32x4_demote_f64x2_zero(high(v)), 0, 1, 4, 5);
    return reinterpret_cast<Floats>(opaque(both));
}

KIT_LANES Doubles widen(Floats v) {
    const v128_t both = reinterpret_cast<v128_t>(v);
    return join(wasm_f64x2_promote_low_f32x4(both),
                wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(both, both, 2, 3, 2, 3)));
}

KIT_LANES Doubles round_single(Doubles v) {
    return join(wasm_f64x2_promote_low_f32x4(opaque(wasm_f32x4_demote_f64x2_zero(low(v)))),
                wasm_f64x2_promote_low_f32x4(opaque(wasm_f32x4_demote_f64x2_zero(high(v)))));
}

KIT_LANES Doubles toward_zero(Doubles v) {
    return join(wasm_f64x2_trunc(low(v)), wasm_f64x2_trunc(high(v)));
}

KIT_LANES Doubles select(Bits m, Doubles a, Doubles b) {
    return join(wasm_v128_bitselect(low(a), low(b), low(m)),
                wasm_v128_bitselect(high(a), high(b), high(m)));
}

KIT_LANES bool any(Words w) {
    return wasm_v128_any_true(reinterpret_cast<v128_t>(w));
}

#endif

} // namespace kit::lanes

#endif
