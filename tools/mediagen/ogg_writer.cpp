#include "ogg_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <vorbis/vorbisenc.h>

namespace mediagen {
namespace {

// Owns every libvorbis/libogg state so early exits clean up.
struct Encoder {
    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    bool dsp_ready = false;

    Encoder() {
        vorbis_info_init(&vi);
        vorbis_comment_init(&vc);
    }
    ~Encoder() {
        if (dsp_ready) {
            ogg_stream_clear(&os);
            vorbis_block_clear(&vb);
            vorbis_dsp_clear(&vd);
        }
        vorbis_comment_clear(&vc);
        vorbis_info_clear(&vi);
    }
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void write_page(std::FILE* file, const ogg_page& page) {
    std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), file);
    std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), file);
}

}  // namespace

void write_ogg_vorbis(const std::string& path, const Audio& audio, float quality, const std::string& title) {
    Encoder enc;
    if (vorbis_encode_init_vbr(&enc.vi, audio.channels, audio.rate, quality) != 0)
        throw std::runtime_error(path + ": Vorbis encoder rejected the settings");
    vorbis_comment_add_tag(&enc.vc, "TITLE", title.c_str());
    vorbis_analysis_init(&enc.vd, &enc.vi);
    vorbis_block_init(&enc.vd, &enc.vb);
    // A fixed serial number instead of a random one keeps the file repeatable.
    ogg_stream_init(&enc.os, 0x4E425744);
    enc.dsp_ready = true;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) throw std::runtime_error(path + ": cannot open for writing: " + std::strerror(errno));

    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&enc.vd, &enc.vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&enc.os, &header);
    ogg_stream_packetin(&enc.os, &comments);
    ogg_stream_packetin(&enc.os, &codebooks);
    ogg_page page;
    // Audio must start on a fresh page after the headers.
    while (ogg_stream_flush(&enc.os, &page) != 0) write_page(file.get(), page);

    const size_t frames = audio.left.size();
    const size_t chunk = 4096;
    bool eos = false;
    for (size_t pos = 0; !eos;) {
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
                    write_page(file.get(), page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            // Flush whatever remains if the last page was not marked yet.
            while (ogg_stream_flush(&enc.os, &page) != 0) write_page(file.get(), page);
            eos = true;
        }
    }
    if (std::ferror(file.get())) throw std::runtime_error(path + ": write error (disk full?)");
    if (std::fclose(file.release()) != 0) throw std::runtime_error(path + ": cannot close: " + std::strerror(errno));
}

}  // namespace mediagen
