// The soundtrack: a small synthesizer and the score that drives it.
#pragma once
#include "presentation/timeline.h"
#include "tools/common/ogg_vorbis.h"

namespace music {

// Stereo at -14 LUFS integrated with peaks limited, as the encoder takes it.
using Audio = StereoAudio;

// Renders the whole 131 s soundtrack for a timeline, its sections and hits
// on that timeline's cues: intro pads over a centred bass floor, bass and
// arpeggio with the first picture, drums with the bar, a build to the melt,
// the full beat with the box, the starfield, the scroller's chorus, closing
// bells; a swell over each picture's fade-in and, after a beat of space, a
// hit where the picture is whole and on both cuts of the close. The
// built-in timeline gives the media's music. Safe to call from any thread;
// calls at the same time take turns.
Audio composeSoundtrack(const Timeline& tl = timeline::builtin());

// The media's music.ogg for a timeline: the soundtrack at the media's
// Vorbis quality (VBR, about 128 kbit/s for stereo 44.1 kHz) and title.
constexpr float kSoundtrackQuality = 0.4f;
inline bool writeSoundtrack(const std::string& path, const Timeline& tl, std::string* error) {
  return writeOggVorbis(path, composeSoundtrack(tl), kSoundtrackQuality, "NARROWBAND", error);
}

}  // namespace music
