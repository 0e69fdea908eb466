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
// bells; a swell over each picture's fade-in (a breakdown under the slow
// ones) and, after a beat of space, a hit where the picture is whole and on
// both cuts of the close, each struck unlike the one before. The
// built-in timeline gives the media's music; any timeline costs about what
// it costs, whatever its fades' rates. Safe to call from any thread at once.
// Empty (no samples) when `stop` ended it first.
Audio composeSoundtrack(const Timeline& tl = timeline::builtin(), StopCheck stop = nullptr);

// The media's music.ogg for a timeline: the soundtrack at the media's
// Vorbis quality (VBR, about 128 kbit/s for stereo 44.1 kHz) and title.
// False with the reason in `error`, or with `error` empty when `stop` ended
// it first (no file is then made).
constexpr float kSoundtrackQuality = 0.4f;
constexpr const char* kSoundtrackTitle = "NARROWBAND";
inline bool writeSoundtrack(const std::string& path, const Timeline& tl, std::string* error,
                            StopCheck stop = nullptr) {
  const Audio audio = composeSoundtrack(tl, stop);
  if (audio.left.empty()) {
    error->clear();
    return false;
  }
  return writeOggVorbis(path, audio, kSoundtrackQuality, kSoundtrackTitle, error, stop);
}

// The same into `file`, open for writing, for a caller that owns the
// temporary it goes to; the caller checks the writes (ferror, fclose).
inline bool encodeSoundtrack(std::FILE* file, const Timeline& tl, std::string* error,
                             StopCheck stop = nullptr) {
  const Audio audio = composeSoundtrack(tl, stop);
  if (audio.left.empty()) {
    error->clear();
    return false;
  }
  return encodeOggVorbis(file, audio, kSoundtrackQuality, kSoundtrackTitle, error, stop);
}

}  // namespace music
