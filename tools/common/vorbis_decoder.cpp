// Ogg Vorbis decoding through libvorbisfile.
#include "tools/common/vorbis_decoder.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>

bool decodeVorbis(const std::string& path, DecodedSound* out, std::string* error, long maxFrames,
                  StopCheck stop) {
  *out = DecodedSound{};
  error->clear();
  OggVorbis_File file;
  if (ov_fopen(path.c_str(), &file) != 0) {
    *error = "cannot decode \"" + path + "\": not an Ogg Vorbis file";
    return false;
  }
  const vorbis_info* info = ov_info(&file, -1);
  out->rate = static_cast<int>(info->rate);
  out->channels = info->channels;
  const int right = info->channels > 1 ? 1 : 0;
  bool ok = true;
  for (;;) {
    const long room = maxFrames < 0 ? 4096 : maxFrames - static_cast<long>(out->left.size());
    if (room <= 0) break;
    if (stop && stop()) {
      ok = false;
      break;
    }
    float** pcm = nullptr;
    int section = 0;
    const long frames =
        ov_read_float(&file, &pcm, static_cast<int>(std::min(room, 4096L)), &section);
    if (frames == OV_HOLE) continue;
    if (frames == 0) break;
    if (frames < 0) {
      char at[32];
      std::snprintf(at, sizeof at, "%.2f",
                    static_cast<double>(out->left.size()) / static_cast<double>(out->rate));
      *error = "cannot decode \"" + path + "\": the stream is damaged after " + at + " s";
      ok = false;
      break;
    }
    out->left.insert(out->left.end(), pcm[0], pcm[0] + frames);
    out->right.insert(out->right.end(), pcm[right], pcm[right] + frames);
  }
  ov_clear(&file);
  return ok;
}
