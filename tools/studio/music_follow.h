// The music of an edited timeline, made on a thread of its own with the
// generator's score and written into a temporary folder of the studio's.
#pragma once

#include "presentation/timeline.h"

#include <string>

// Makes the music of `t`: at once when nothing is being made, else as soon
// as the music being made is done (only the latest request is kept).
void requestMusic(const Timeline& t);

// The file of music made since the last call, with the seconds since the
// request it answers (the edit it follows) and the CPU seconds it took to
// make; false while none is ready. A music that could not be made gives one
// line on stderr and false. The music taken before is removed: the caller
// has moved to the new one.
bool takeMadeMusic(std::string* path, double* secondsSinceRequest, double* cpuSeconds);

// Removes every file made and the folder without waiting for the music being
// made. True when a worker is still composing: the process must then end
// with _exit (or a signal), as static destructors would meet the worker.
bool endMusicFollow();
