// Small seeded PRNG, so the pictures and the soundtrack come out the same on every run.
#pragma once
#include <cstdint>

// SplitMix64: tiny, fast, good enough statistical quality for placing stars
// and making noise, and fully determined by its seed.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}

  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  float uniform() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }
  float uniform(float lo, float hi) { return lo + (hi - lo) * uniform(); }
  // Uniform in [-1, 1), used for audio noise.
  float bipolar() { return uniform() * 2.0f - 1.0f; }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_;
};

// Stateless hash of lattice coordinates, for noise that must wrap exactly.
inline uint32_t hash2(uint32_t x, uint32_t y, uint32_t seed) {
  uint64_t h = (static_cast<uint64_t>(x) * 0x8DA6B343u) ^ (static_cast<uint64_t>(y) * 0xD8163841u) ^
               (static_cast<uint64_t>(seed) * 0xCB1AB31Fu);
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<uint32_t>(h);
}
