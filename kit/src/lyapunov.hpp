// The orbits' exponents are offered to the programs' engines too: the declarations live with the
// kit's public headers.
#pragma once

#include "kit/lyapunov.hpp"
