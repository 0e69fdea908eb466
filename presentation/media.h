// The presentation's media files, listed once: the player loads them, the
// generator writes them, the build and the tests check them, all from here.
// The build reads the file names from the lists too (cmake/XList.cmake).
#pragma once

// One entry per picture, in the order the player loads them:
// X(id, file name, texture handle, role); presentation/timeline.h says when
// each shows.
#define DEMO_TEXTURE_LIST(X)                                                                 \
  X(logo, "logo.jpg", logoTexture, "title artwork, settling out of its warp as it fades")    \
  X(noise, "noise.png", noiseTexture, "tiling noise that bends the plasma background")       \
  X(guruText, "guru_text.png", guruTextTexture, "closing screen text")                       \
  X(guruRect, "guru_rect.png", guruRectTexture, "frame around the closing text, blinking")   \
  X(testhall, "testhall1.jpg", testhallTexture, "end picture, over everything at the close") \
  X(starfield, "layer_starfield.png", starfieldTexture, "stars of the polar starfield")      \
  X(oldschool, "oldschool.png", oldschoolTexture, "first overlay picture")                   \
  X(space, "space.png", spaceTexture, "second overlay picture")                              \
  X(love, "love.png", loveTexture, "third overlay picture")                                  \
  X(scroller, "scroller.png", scrollerTexture, "greetings strip of the scroller")

// The same pictures drawn at twice the window's size, under the same names in
// this folder of the media folder. A strip drawn this wide or wider (full
// screen on a 1080p screen, the capture's 1080p and 4K presets) loads them,
// so its letters stay as sharp as the window's; a narrower strip, the
// 960 x 89 window among them, loads the files above.
#define DEMO_LARGE_PICTURE_FOLDER "2x"
constexpr int kLargePictureScale = 2;
constexpr int kLargePictureWidth = 1920;
inline bool usesLargePictures(int stripWidth) { return stripWidth >= kLargePictureWidth; }

// The soundtrack, played once from the start: X(id, file name, role).
#define DEMO_MUSIC_LIST(X) X(music, "music.ogg", "the soundtrack, streamed once")

enum class MediaId {
#define DEMO_MEDIA_TEXTURE_ID(id, file, handle, role) id,
#define DEMO_MEDIA_MUSIC_ID(id, file, role) id,
  DEMO_TEXTURE_LIST(DEMO_MEDIA_TEXTURE_ID) DEMO_MUSIC_LIST(DEMO_MEDIA_MUSIC_ID)
#undef DEMO_MEDIA_TEXTURE_ID
#undef DEMO_MEDIA_MUSIC_ID
};

struct MediaFile {
  const char* name;
  const char* role;
};

// Every media file, indexed by MediaId.
constexpr MediaFile kMediaFiles[] = {
#define DEMO_MEDIA_TEXTURE_ENTRY(id, file, handle, role) {file, role},
#define DEMO_MEDIA_MUSIC_ENTRY(id, file, role) {file, role},
    DEMO_TEXTURE_LIST(DEMO_MEDIA_TEXTURE_ENTRY) DEMO_MUSIC_LIST(DEMO_MEDIA_MUSIC_ENTRY)
#undef DEMO_MEDIA_TEXTURE_ENTRY
#undef DEMO_MEDIA_MUSIC_ENTRY
};
constexpr int kMediaFileCount = sizeof kMediaFiles / sizeof kMediaFiles[0];

constexpr const char* mediaName(MediaId id) { return kMediaFiles[static_cast<int>(id)].name; }
