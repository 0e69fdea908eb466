// Loudness measurement and peak limiting for the soundtrack's master stage.
#pragma once
#include <vector>

namespace music {

// Integrated loudness of a stereo signal in LUFS: K-weighted, in 400 ms
// blocks overlapping by 75 %, gated at -70 LUFS and then 10 LU below the
// mean of the blocks that passed. -70 for silence.
double integratedLoudness(const std::vector<float>& left, const std::vector<float>& right,
                          int rate);

// Scales both channels so that no sample exceeds `ceiling` (linear), with a
// gain that starts falling `lookaheadMs` ahead of a peak and recovers over
// `releaseMs`: peaks are turned down smoothly instead of clipped.
void limitPeaks(std::vector<float>& left, std::vector<float>& right, int rate, float ceiling,
                double lookaheadMs, double releaseMs);

}  // namespace music
