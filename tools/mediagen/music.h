// The soundtrack: a small synthesizer and the score that drives it.
#pragma once
#include "tools/common/ogg_vorbis.h"

namespace mediagen {

// Stereo at -14 LUFS integrated with peaks limited, as the encoder takes it.
using Audio = StereoAudio;

// Renders the whole 131 s soundtrack, its sections and hits on the
// schedule's cues (presentation/timeline.h): intro pads over a centred bass
// floor, bass and arpeggio with the first picture, drums with the bar, a
// build to the melt, the full beat with the box, the starfield, the
// scroller's chorus, closing bells; a swell over each picture's fade-in and,
// after a beat of space, a hit where the picture is whole and on both cuts
// of the close.
Audio composeSoundtrack();

}  // namespace mediagen
