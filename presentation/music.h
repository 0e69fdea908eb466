// The presentation's music, kept apart from the start-up so that silent
// drivers (the capture, the tests) do not link the sound layer.
#pragma once

#include <string>

struct SoundChannel;

// The file the music is played from instead of the media list's (the music
// of another timeline, composed by the driver); "" restores the media's.
// An absolute path, since the start-up plays it from the media folder.
void setMusicFile(const std::string& path);

// The media list's music file from the working folder, played once. Returns
// its channel for drivers that move the music (null when the run is silent).
// Given to the start-up as Startup::startMusic by drivers that move the
// music with their own transport (the studio, the page).
SoundChannel* startMusic();

// The same music for the player, whose picture runs on SDL's ticks from
// SDL_Init: started not from its beginning but from the demo time at which
// the device outputs it, so that what is heard is what is seen.
SoundChannel* startMusicInStep();
