// Ogg Vorbis encoding of a test tone with libvorbisenc.
#include "tests/support/ogg_file.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>

namespace testing_support {

namespace {

bool writePages(ogg_stream_state* stream, FILE* out, bool flush) {
  ogg_page page;
  while (flush ? ogg_stream_flush(stream, &page) : ogg_stream_pageout(stream, &page)) {
    if (std::fwrite(page.header, 1, page.header_len, out) != size_t(page.header_len) ||
        std::fwrite(page.body, 1, page.body_len, out) != size_t(page.body_len)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool writeToneOgg(const std::string& path, double seconds, double frequency) {
  const int rate = 44100;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  vorbis_info info;
  vorbis_info_init(&info);
  vorbis_encode_init_vbr(&info, 2, rate, 0.3f);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);

  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  bool ok = writePages(&stream, out, true);

  const long total = std::lround(seconds * rate);
  const long chunk = 4096;
  long done = 0;
  for (;;) {
    const long n = total - done < chunk ? total - done : chunk;
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (long i = 0; i < n; ++i) {
        float s = static_cast<float>(0.5 * std::sin(2 * M_PI * frequency * double(done + i) / rate));
        buffer[0][i] = s;
        buffer[1][i] = s;
      }
    }
    vorbis_analysis_wrote(&dsp, static_cast<int>(n));  // 0 marks the end of the stream
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        ok = ok && writePages(&stream, out, false);
      }
    }
    if (n == 0) break;
    done += n;
  }
  ok = ok && writePages(&stream, out, true);

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return std::fclose(out) == 0 && ok;
}

}  // namespace testing_support
