#ifndef KORVEX_TESTS_SUPPORT_RANDOM_TEXT_H
#define KORVEX_TESTS_SUPPORT_RANDOM_TEXT_H

// Inputs of the round-trip properties. mt19937's raw output is fixed by the
// standard, so a seed gives the same inputs on every target and every run.
#include <random>
#include <string>

// min to max pieces, each drawn from the alphabet: the characters of a
// string, or the texts of a list (several bytes of one character, say).
template <typename Alphabet>
std::string RandomText(std::mt19937& rng, const Alphabet& alphabet, size_t min, size_t max) {
  std::string text;
  for (size_t n = min + rng() % (max - min + 1); n > 0; --n) text += alphabet[rng() % alphabet.size()];
  return text;
}

#endif
