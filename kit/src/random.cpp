#include "random.hpp"

#include "kit/palette.hpp"

#include <cstdint>

namespace kit {
namespace {

// 31 words of state; each output adds the word 3 places behind to the word at the front (the
// trinomial x^31 + x^3 + 1), and returns the sum without its least random bit.
constexpr int degree = 31;
constexpr int separation = 3;

struct Generator {
    std::uint32_t state[degree] = {};
    int front = separation; // the word that receives the sum
    int rear = 0;           // the word added to it
};

constexpr std::uint32_t step(Generator& g) {
    const std::uint32_t sum = g.state[g.front] += g.state[g.rear];
    g.front = g.front + 1 == degree ? 0 : g.front + 1;
    g.rear = g.rear + 1 == degree ? 0 : g.rear + 1;
    return sum >> 1;
}

constexpr Generator seeded(unsigned seed) {
    Generator g;
    if (seed == 0) seed = 1;
    // The first word is the seed itself, taken as a signed 32-bit number; the others follow
    // from it by the minimal standard generator, 16807 * previous mod (2^31 - 1), computed
    // with Schrage's method on that signed value exactly as the C library does.
    std::int32_t word = static_cast<std::int32_t>(seed);
    g.state[0] = static_cast<std::uint32_t>(word);
    for (int i = 1; i < degree; ++i) {
        const std::int64_t hi = word / 127773;
        const std::int64_t lo = word % 127773;
        word = static_cast<std::int32_t>(16807 * lo - 2836 * hi);
        if (word < 0) word += 2147483647;
        g.state[i] = static_cast<std::uint32_t>(word);
    }
    // Ten rounds through the state are discarded, so that nearby seeds give unrelated
    // sequences.
    for (int i = 0; i < 10 * degree; ++i) step(g);
    return g;
}

constinit Generator generator = seeded(1);

} // namespace

void seed_rand(unsigned seed) {
    generator = seeded(seed);
}

int next_rand() {
    return static_cast<int>(step(generator));
}

std::array<Rgb, 256> random_palette(unsigned seed) {
    Generator own = seeded(seed);
    std::array<Rgb, 256> colours;
    for (Rgb& colour : colours) {
        const std::uint32_t c1 = step(own), c2 = step(own), c3 = step(own);
        colour = {.r = static_cast<std::uint8_t>(c3 & 0xff),
                  .g = static_cast<std::uint8_t>(c2 & 0xff),
                  .b = static_cast<std::uint8_t>(c1 & 0xff)};
    }
    return colours;
}

} // namespace kit
