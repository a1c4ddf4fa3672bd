// Checks kit::map_sine and kit::map_cosine against MPFR's correctly rounded sine and cosine on
// every single from +0 up to 6.2831855f, the single just above 2 pi (the largest angle an orbit
// step leaves): 1,086,918,620 angles. MPFR rounds each result correctly by itself, so every angle
// is simply compared with it; the work is split between the processor's cores. Prints, for each
// function, how many angles were checked, how many results are not correctly rounded (it should
// be none), the largest error among them in units in the last place, and, for the record, on how
// many angles from 2^-5 up the C library's function is not correctly rounded.
//
// Run: build/bin/sine_check [sine|cosine|both] [first_bits last_bits] (by default both functions
// on the whole range; a range of single bit patterns makes a quick partial check). It takes
// about 20 minutes a function on two cores.
#include "map_sine.hpp"

#include <mpfr.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
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

// One of the functions checked, with MPFR's and the C library's.
struct Function {
    const char* name;
    double (*ours)(float);
    int (*exact)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
    double (*library)(double);
};

const Function functions[] = {{"sine", kit::map_sine, mpfr_sin, std::sin},
                              {"cosine", kit::map_cosine, mpfr_cos, std::cos}};

struct Tally {
    std::uint64_t checked = 0, wrong = 0, library_wrong = 0;
    double worst_ulps = 0;
    float worst_at = 0;
};

// The angles first..last (bit patterns) of one block, against MPFR.
void check_block(const Function& f, std::uint32_t first, std::uint32_t last, Tally& tally) {
    mpfr_t x, s, exact, diff;
    mpfr_inits2(53, s, static_cast<mpfr_ptr>(nullptr));
    mpfr_init2(x, 24);
    mpfr_inits2(200, exact, diff, static_cast<mpfr_ptr>(nullptr));
    const float library_from = 0x1p-5f;
    for (std::uint32_t bits = first;; ++bits) {
        const float angle = single_of(bits);
        mpfr_set_flt(x, angle, MPFR_RNDN);
        f.exact(s, x, MPFR_RNDN);
        const double correct = mpfr_get_d(s, MPFR_RNDN);
        const double ours = f.ours(angle);
        ++tally.checked;
        if (ours != correct) {
            ++tally.wrong;
            // The error in units in the last place of the correct result.
            f.exact(exact, x, MPFR_RNDN);
            mpfr_sub_d(diff, exact, ours, MPFR_RNDN);
            const double ulp = std::nextafter(std::fabs(correct), 2.0) - std::fabs(correct);
            const double ulps = std::fabs(mpfr_get_d(diff, MPFR_RNDN)) / ulp;
            if (ulps > tally.worst_ulps) tally.worst_ulps = ulps, tally.worst_at = angle;
        }
        if (angle >= library_from && f.library(static_cast<double>(angle)) != correct)
            ++tally.library_wrong;
        if (bits == last) break;
    }
    mpfr_clears(x, s, exact, diff, static_cast<mpfr_ptr>(nullptr));
    mpfr_free_cache();
}

// Reads a bit pattern (decimal, or hexadecimal with 0x); false unless the whole text is one.
bool parse_bits(const char* text, std::uint32_t& bits) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || v > 0xffffffffu || text[0] == '-')
        return false;
    bits = static_cast<std::uint32_t>(v);
    return true;
}

// Every angle from `first` to `last` (bit patterns) against MPFR; prints the result lines and
// returns the number not correctly rounded.
std::uint64_t check(const Function& f, std::uint32_t first, std::uint32_t last) {
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
            check_block(f, static_cast<std::uint32_t>(start), end, tally);
            const std::lock_guard<std::mutex> hold(lock);
            total.checked += tally.checked;
            total.wrong += tally.wrong;
            total.library_wrong += tally.library_wrong;
            if (tally.worst_ulps > total.worst_ulps)
                total.worst_ulps = tally.worst_ulps, total.worst_at = tally.worst_at;
            if (++blocks_done % 64 == 0)
                std::printf("%s: %llu of %llu blocks, %llu not correctly rounded so far\n", f.name,
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
    std::printf("%s: angles checked: %llu (singles 0x%08x to 0x%08x, %.9g to %.9g)\n", f.name,
                static_cast<unsigned long long>(total.checked), first, last, single_of(first),
                single_of(last));
    std::printf("%s: not correctly rounded: %llu\n", f.name,
                static_cast<unsigned long long>(total.wrong));
    if (total.wrong > 0)
        std::printf("%s: largest error: %.3f units in the last place, at %.9g\n", f.name,
                    total.worst_ulps, total.worst_at);
    else
        std::printf("%s: largest error: below half a unit in the last place (all correctly "
                    "rounded)\n",
                    f.name);
    std::printf("%s: the C library's not correctly rounded (angles from 2^-5): %llu\n", f.name,
                static_cast<unsigned long long>(total.library_wrong));
    std::fflush(stdout);
    return total.wrong;
}

} // namespace

int main(int argc, char** argv) {
    const std::uint32_t top = bits_of(6.2831855f);
    std::uint32_t first = 0, last = top;
    int arg = 1;
    bool which[2] = {true, true};
    if (arg < argc && std::isalpha(static_cast<unsigned char>(argv[arg][0]))) {
        const std::string name = argv[arg++];
        if (name == "sine" || name == "cosine")
            which[0] = name == "sine", which[1] = name == "cosine";
        else if (name != "both") {
            std::fprintf(stderr, "sine_check: unknown function '%s': give sine, cosine or both\n",
                         name.c_str());
            return 2;
        }
    }
    if (argc - arg == 2) {
        if (!parse_bits(argv[arg], first) || !parse_bits(argv[arg + 1], last)) {
            std::fprintf(stderr, "sine_check: the range is two bit patterns of singles, e.g. "
                                 "0x3f800000 0x40000000 (1 to 2)\n");
            return 2;
        }
    } else if (argc - arg != 0) {
        std::fprintf(stderr, "usage: sine_check [sine|cosine|both] [first_bits last_bits]\n");
        return 2;
    }
    if (first > last || last > top) {
        std::fprintf(stderr,
                     "sine_check: the range must run upwards within 0 .. 0x%08x (6.2831855f)\n",
                     top);
        return 2;
    }
    std::uint64_t wrong = 0;
    for (int i = 0; i < 2; ++i)
        if (which[i]) wrong += check(functions[i], first, last);
    return wrong == 0 ? 0 : 1;
}
