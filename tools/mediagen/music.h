// The soundtrack: a small synthesizer and the score that drives it.
#pragma once
#include "tools/common/ogg_vorbis.h"

namespace mediagen {

// Stereo at -14 LUFS integrated with peaks limited, as the encoder takes it.
using Audio = StereoAudio;

// Renders the whole 131 s soundtrack, sections timed to the show:
// 0 intro pads, 20 bass and arpeggio, 25 drums, 46 build a tone up,
// 55 space chords, 68 melt, 70 full beat with the tune, 91 starfield,
// 105 the tune's lifted chorus, 120 closing bells, with hits on the
// pictures at 55, 75 and 123.5, fading out by 129.5.
Audio composeSoundtrack();

}  // namespace mediagen
