// Ogg Vorbis encoding through libvorbisenc, written page by page.
#include "tools/common/ogg_vorbis.h"

#include "platform/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <vorbis/vorbisenc.h>

namespace {

// Owns every libvorbis/libogg state so early exits clean up.
struct Encoder {
  vorbis_info vi;
  vorbis_comment vc;
  vorbis_dsp_state vd;
  vorbis_block vb;
  ogg_stream_state os;
  bool dspReady = false;

  Encoder() {
    vorbis_info_init(&vi);
    vorbis_comment_init(&vc);
  }
  ~Encoder() {
    if (dspReady) {
      ogg_stream_clear(&os);
      vorbis_block_clear(&vb);
      vorbis_dsp_clear(&vd);
    }
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
  }
};

void writePage(std::FILE* file, const ogg_page& page) {
  std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), file);
  std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), file);
}

}  // namespace

bool encodeOggVorbis(std::FILE* file, const StereoAudio& audio, float quality,
                     const std::string& title, std::string* error, StopCheck stop) {
  error->clear();
  Encoder enc;
  if (vorbis_encode_init_vbr(&enc.vi, 2, audio.rate, quality) != 0) {
    *error = "the Vorbis encoder rejected the settings";
    return false;
  }
  vorbis_comment_add_tag(&enc.vc, "TITLE", title.c_str());
  vorbis_analysis_init(&enc.vd, &enc.vi);
  vorbis_block_init(&enc.vd, &enc.vb);
  // A fixed serial number instead of a random one keeps the file repeatable.
  ogg_stream_init(&enc.os, 0x4E425744);
  enc.dspReady = true;

  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&enc.vd, &enc.vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&enc.os, &header);
  ogg_stream_packetin(&enc.os, &comments);
  ogg_stream_packetin(&enc.os, &codebooks);
  ogg_page page;
  // Audio must start on a fresh page after the headers.
  while (ogg_stream_flush(&enc.os, &page) != 0) writePage(file, page);

  const size_t frames = audio.left.size();
  const size_t chunk = 4096;
  bool eos = false;
  for (size_t pos = 0; !eos;) {
    if (stop && stop()) return false;
    const size_t n = std::min(chunk, frames - pos);
    if (n == 0) {
      vorbis_analysis_wrote(&enc.vd, 0);  // signals end of stream
    } else {
      float** buf = vorbis_analysis_buffer(&enc.vd, static_cast<int>(n));
      std::memcpy(buf[0], audio.left.data() + pos, n * sizeof(float));
      std::memcpy(buf[1], audio.right.data() + pos, n * sizeof(float));
      vorbis_analysis_wrote(&enc.vd, static_cast<int>(n));
      pos += n;
    }
    while (vorbis_analysis_blockout(&enc.vd, &enc.vb) == 1) {
      vorbis_analysis(&enc.vb, nullptr);
      vorbis_bitrate_addblock(&enc.vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&enc.vd, &packet)) {
        ogg_stream_packetin(&enc.os, &packet);
        while (ogg_stream_pageout(&enc.os, &page) != 0) {
          writePage(file, page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
    if (n == 0 && !eos) {
      // Flush whatever remains if the last page was not marked yet.
      while (ogg_stream_flush(&enc.os, &page) != 0) writePage(file, page);
      eos = true;
    }
  }
  return true;
}

bool writeOggVorbis(const std::string& path, const StereoAudio& audio, float quality,
                    const std::string& title, std::string* error, StopCheck stop) {
  OutputFile output;
  std::string reason;
  std::FILE* file = beginOutputStream(path, &output, &reason);
  if (!file) {
    *error = path + ": cannot open for writing: " + reason;
    return false;
  }
  const bool encoded = encodeOggVorbis(file, audio, quality, title, &reason, stop);
  if (!encoded) {
    finishOutputStream(file, false, &output, error);
    *error = reason.empty() ? "" : path + ": " + reason;
    return false;
  }
  if (!finishOutputStream(file, std::ferror(file) == 0, &output, &reason)) {
    *error = path + ": write error (" + (reason.empty() ? "disk full?" : reason) + ")";
    return false;
  }
  return true;
}
