#ifndef KORVEX_TESTS_SUPPORT_RANDOM_TEXT_H
#define KORVEX_TESTS_SUPPORT_RANDOM_TEXT_H

// Inputs of the round-trip properties. mt19937's raw output is fixed by the
// standard, so a seed gives the same inputs on every target and every run.
#include <random>
#include <string>

// min to max characters, each drawn from the alphabet.
inline std::string RandomText(std::mt19937& rng, const std::string& alphabet, size_t min, size_t max) {
  std::string text(min + rng() % (max - min + 1), '\0');
  for (char& c : text) c = alphabet[rng() % alphabet.size()];
  return text;
}

#endif
