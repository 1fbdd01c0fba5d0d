#include "FuzzHost.h"

#include <cstdio>
#include <cstdlib>

namespace meshscope::fuzz {

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz: property broken: %s\n", what);
    std::abort();
}

} // namespace meshscope::fuzz
