// mediagen OUTDIR: writes every picture and the soundtrack the player loads.
//
// All media come from this code, so the repository carries no binary files
// and the build regenerates identical bytes on every run.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "image_io.h"
#include "media.h"
#include "music.h"
#include "ogg_writer.h"
#include "text.h"
#include "presentation/media.h"

namespace fs = std::filesystem;
using namespace mediagen;

namespace {

struct Output {
    const char* name;
    std::function<void(const std::string& path)> write;
};

// JPEG quality high enough that thin text edges stay clean.
constexpr int kJpegQuality = 92;
// Vorbis VBR quality; about 128 kbit/s for stereo 44.1 kHz.
constexpr float kVorbisQuality = 0.4f;

std::vector<Output> outputs() {
    auto png = [](Image (*make)()) { return [make](const std::string& p) { write_png(p, make()); }; };
    auto jpg = [](Image (*make)()) { return [make](const std::string& p) { write_jpeg(p, make(), kJpegQuality); }; };
    return {
        {mediaName(MediaId::logo), jpg(make_logo)},
        {mediaName(MediaId::noise), png(make_noise)},
        {mediaName(MediaId::guruText), png(make_guru_text)},
        {mediaName(MediaId::guruRect), png(make_guru_rect)},
        {mediaName(MediaId::testhall), jpg(make_end_card)},
        {mediaName(MediaId::starfield), png(make_starfield)},
        {mediaName(MediaId::oldschool), png(make_oldschool)},
        {mediaName(MediaId::space), png(make_space)},
        {mediaName(MediaId::love), png(make_love)},
        {mediaName(MediaId::scroller), png(make_scroller)},
        {mediaName(MediaId::music),
         [](const std::string& p) { write_ogg_vorbis(p, compose_soundtrack(), kVorbisQuality, "NARROWBAND"); }},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mediagen OUTDIR\n");
        return 1;
    }
    const fs::path outdir = argv[1];

    // Check fonts first so a missing package fails fast with one clear line.
    for (const std::string& file : required_fonts()) {
        const fs::path path = fs::path(font_dir()) / file;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            // The condensed faces come in Debian's fonts-dejavu-extra, the rest in -core.
            const bool extra = file.find("Condensed") != std::string::npos;
            std::fprintf(stderr, "mediagen: font file not found: %s (install %s)\n",
                         path.string().c_str(), extra ? "fonts-dejavu-extra" : "fonts-dejavu-core");
            return 1;
        }
    }

    std::error_code ec;
    fs::create_directories(outdir, ec);
    if (ec || !fs::is_directory(outdir)) {
        std::fprintf(stderr, "mediagen: %s: cannot create directory: %s\n", outdir.string().c_str(),
                     ec ? ec.message().c_str() : "a file is in the way");
        return 1;
    }

    int written = 0;
    for (const Output& out : outputs()) {
        const std::string path = (outdir / out.name).string();
        try {
            out.write(path);
            ++written;
        } catch (const std::exception& e) {
            // Writers name the path in their message; fonts and allocation
            // failures may not, so make sure the file is mentioned.
            std::string msg = e.what();
            if (msg.find(path) == std::string::npos) msg = path + ": " + msg;
            std::fprintf(stderr, "mediagen: %s\n", msg.c_str());
            fs::remove(path, ec);  // never leave a half-written file behind
            return 1;
        }
    }
    std::printf("mediagen: wrote %d files to %s\n", written, outdir.string().c_str());
    return 0;
}
