#pragma once
// What every fuzz target checks with: an invariant that does not hold aborts,
// which libFuzzer reports as a crash (and saves the input), and which fails
// the corpus replay of the tests.

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void EchecInvariant(const char* condition, const char* fichier, int ligne)
{
    std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", condition, fichier, ligne);
    std::abort();
}

#define VERIFIER(condition) ((condition) ? (void)0 : EchecInvariant(#condition, __FILE__, __LINE__))
