// The pseudo-random numbers behind the palette.
//
// The palette has to be the same wherever a program runs, and the C libraries differ: the
// browser's returns other numbers for the same seed than the desktop's. So the kit carries its
// own generator, the additive feedback generator of the GNU C library's rand() and srand(),
// reproducing that sequence exactly for every seed, on every platform.
#pragma once

namespace kit {

// The largest number next_rand returns (RAND_MAX of the GNU C library).
inline constexpr int rand_max = 2147483647;

// Restarts the sequence, like srand(seed). A generator that was never seeded behaves as if
// seeded with 1, as the C library's does.
void seed_rand(unsigned seed);

// The next number of the sequence, from 0 to rand_max, like rand().
int next_rand();

} // namespace kit
