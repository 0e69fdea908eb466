// The presentation's music, kept apart from the start-up so that silent
// drivers (the capture, the tests) do not link the sound layer.
#pragma once

struct SoundChannel;

// The media list's music file from the working folder, played once. Returns
// its channel for drivers that move the music (null when the run is silent);
// the player ignores it. Given to the start-up as Startup::startMusic.
SoundChannel* startMusic();
