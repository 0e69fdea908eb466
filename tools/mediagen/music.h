// The soundtrack: a small synthesizer and the score that drives it.
#pragma once
#include "tools/common/ogg_vorbis.h"

namespace mediagen {

// Peak normalised stereo, as the encoder takes it.
using Audio = StereoAudio;

// Renders the whole 131 s soundtrack, sections timed to the show:
// 0 intro pads, 20 bass and arpeggio, 25 drums, 46 build, 68 melt,
// 70 full beat, 91 starfield, 105 lead melody, 120 closing break,
// fading out by 129.5.
Audio composeSoundtrack();

}  // namespace mediagen
