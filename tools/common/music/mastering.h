// Loudness measurement and peak limiting for the soundtrack's master stage.
#pragma once
#include <vector>

namespace music {

// Integrated loudness of a stereo signal in LUFS: K-weighted, in 400 ms
// blocks overlapping by 75 %, gated at -70 LUFS and then 10 LU below the
// mean of the blocks that passed. -70 for silence.
double integratedLoudness(const std::vector<float>& left, const std::vector<float>& right,
                          int rate);

// Short-term loudness in LUFS (K-weighted, ungated) of the 3 s window
// starting at every multiple of `step` seconds that has a whole window
// after it; -70 for silence.
std::vector<double> shortTermLoudness(const std::vector<float>& left,
                                      const std::vector<float>& right, int rate, double step);

// Scales both channels so that no sample exceeds `ceiling` (linear), with a
// gain that starts falling `lookaheadMs` ahead of a peak and recovers over
// `releaseMs`: peaks are turned down smoothly instead of clipped.
void limitPeaks(std::vector<float>& left, std::vector<float>& right, int rate, float ceiling,
                double lookaheadMs, double releaseMs);

}  // namespace music
