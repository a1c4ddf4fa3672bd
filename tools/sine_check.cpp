// Checks kit::map_sine against MPFR's correctly rounded sine on every single from +0 up to
// 6.2831855f, the single just above 2 pi (the largest angle an orbit step leaves): 1,086,918,620
// angles. MPFR rounds each result correctly by itself, so every angle is simply compared with
// it; the work is split between the processor's cores. Prints how many angles were checked, how
// many results are not the correctly rounded sine (it should be none), the largest error among
// them in units in the last place, and, for the record, on how many angles from 2^-5 up the C
// library's sine is not correctly rounded.
//
// Run: build/bin/sine_check [first_bits last_bits] (a range of single bit patterns, for a quick
// partial check; by default the whole range). It takes a few minutes per core.
#include "map_sine.hpp"

#include <mpfr.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

float single_of(std::uint32_t bits) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::uint32_t bits_of(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

struct Tally {
    std::uint64_t checked = 0, wrong = 0, library_wrong = 0;
    double worst_ulps = 0;
    float worst_at = 0;
};

// The angles first..last (bit patterns) of one block, against MPFR.
void check_block(std::uint32_t first, std::uint32_t last, Tally& tally) {
    mpfr_t x, s, exact, diff;
    mpfr_inits2(53, s, static_cast<mpfr_ptr>(nullptr));
    mpfr_init2(x, 24);
    mpfr_inits2(200, exact, diff, static_cast<mpfr_ptr>(nullptr));
    const float library_from = 0x1p-5f;
    for (std::uint32_t bits = first;; ++bits) {
        const float angle = single_of(bits);
        mpfr_set_flt(x, angle, MPFR_RNDN);
        mpfr_sin(s, x, MPFR_RNDN);
        const double correct = mpfr_get_d(s, MPFR_RNDN);
        const double ours = kit::map_sine(angle);
        ++tally.checked;
        if (ours != correct) {
            ++tally.wrong;
            // The error in units in the last place of the correct result.
            mpfr_sin(exact, x, MPFR_RNDN);
            mpfr_sub_d(diff, exact, ours, MPFR_RNDN);
            const double ulp = std::nextafter(std::fabs(correct), 2.0) - std::fabs(correct);
            const double ulps = std::fabs(mpfr_get_d(diff, MPFR_RNDN)) / ulp;
            if (ulps > tally.worst_ulps) tally.worst_ulps = ulps, tally.worst_at = angle;
        }
        if (angle >= library_from && std::sin(static_cast<double>(angle)) != correct)
            ++tally.library_wrong;
        if (bits == last) break;
    }
    mpfr_clears(x, s, exact, diff, static_cast<mpfr_ptr>(nullptr));
    mpfr_free_cache();
}

} // namespace

int main(int argc, char** argv) {
    std::uint32_t first = 0, last = bits_of(6.2831855f);
    if (argc == 3) {
        first = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 0));
        last = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0));
    } else if (argc != 1 || first > last) {
        std::fprintf(stderr, "usage: sine_check [first_bits last_bits]\n");
        return 2;
    }
    if (first > last || last > bits_of(6.2831855f)) {
        std::fprintf(stderr, "sine_check: the range must lie within 0 .. 0x%08x (6.2831855f)\n",
                     bits_of(6.2831855f));
        return 2;
    }
    constexpr std::uint32_t block = 1 << 20;
    std::atomic<std::uint64_t> next{first};
    Tally total;
    std::mutex lock;
    std::uint64_t blocks_done = 0;
    const std::uint64_t blocks = (static_cast<std::uint64_t>(last) - first) / block + 1;
    const auto work = [&] {
        for (;;) {
            const std::uint64_t start = next.fetch_add(block);
            if (start > last) return;
            const auto end =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(start + block - 1, last));
            Tally tally;
            check_block(static_cast<std::uint32_t>(start), end, tally);
            const std::lock_guard<std::mutex> hold(lock);
            total.checked += tally.checked;
            total.wrong += tally.wrong;
            total.library_wrong += tally.library_wrong;
            if (tally.worst_ulps > total.worst_ulps)
                total.worst_ulps = tally.worst_ulps, total.worst_at = tally.worst_at;
            if (++blocks_done % 64 == 0)
                std::printf("%llu of %llu blocks, %llu not correctly rounded so far\n",
                            static_cast<unsigned long long>(blocks_done),
                            static_cast<unsigned long long>(blocks),
                            static_cast<unsigned long long>(total.wrong)),
                    std::fflush(stdout);
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        threads.emplace_back(work);
    for (std::thread& thread : threads) thread.join();
    std::printf("angles checked: %llu (singles 0x%08x to 0x%08x, %.9g to %.9g)\n",
                static_cast<unsigned long long>(total.checked), first, last, single_of(first),
                single_of(last));
    std::printf("not correctly rounded: %llu\n", static_cast<unsigned long long>(total.wrong));
    if (total.wrong > 0)
        std::printf("largest error: %.3f units in the last place, at %.9g\n", total.worst_ulps,
                    total.worst_at);
    else
        std::printf("largest error: below half a unit in the last place (all correctly rounded)\n");
    std::printf("the C library's sine not correctly rounded (angles from 2^-5): %llu\n",
                static_cast<unsigned long long>(total.library_wrong));
    return total.wrong == 0 ? 0 : 1;
}
