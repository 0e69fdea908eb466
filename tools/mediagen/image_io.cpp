#include "image_io.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace mediagen {

void write_png(const std::string& path, const Image& image) {
    // libpng's simplified API reports errors through the struct instead of
    // longjmp, which keeps this free of setjmp hazards. It writes no time
    // stamp chunk, so the output is byte-for-byte repeatable.
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = image.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const png_int_32 stride = image.width * image.channels;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), stride, nullptr)) {
        std::string reason = png.message;
        png_image_free(&png);
        throw std::runtime_error(path + ": cannot write PNG: " + reason);
    }
}

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpeg_error_exit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Only trivially destructible objects live in this frame, so longjmp out of
// libjpeg is safe. Returns an empty string on success, else the reason.
const char* encode_jpeg(std::FILE* file, const uint8_t* rgb, int width, int height, int quality,
                        JpegError* err) {
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&err->mgr);
    err->mgr.error_exit = jpeg_error_exit;
    if (setjmp(err->jump)) {
        jpeg_destroy_compress(&cinfo);
        return err->message;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // Full-resolution chroma: the pictures have thin coloured text, which 2x2
    // chroma subsampling would smear.
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(cinfo.next_scanline) * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return "";
}

}  // namespace

void write_jpeg(const std::string& path, const Image& image, int quality) {
    std::vector<uint8_t> rgb(static_cast<size_t>(image.width) * image.height * 3);
    const size_t count = static_cast<size_t>(image.width) * image.height;
    for (size_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = image.pixels[i * image.channels + c];

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error(path + ": cannot open for writing: " + std::strerror(errno));
    JpegError err{};
    std::string reason = encode_jpeg(file, rgb.data(), image.width, image.height, quality, &err);
    const bool write_failed = std::ferror(file) != 0;
    const bool close_failed = std::fclose(file) != 0;
    if (!reason.empty()) throw std::runtime_error(path + ": cannot write JPEG: " + reason);
    if (write_failed || close_failed) throw std::runtime_error(path + ": write error (disk full?)");
}

}  // namespace mediagen
