// The music of a --timeline video, composed for that timeline.
#pragma once

#include "platform/output_file.h"

#include <string>

// The active timeline's music, composed into a temporary beside `video`
// that the caller removes at the end. 0 when written; 1 with the reason in
// `error`; a stop signal ends the composing within a fraction of a second:
// kStopped, said on stderr, with the temporary removed.
int composeMusic(const std::string& video, OutputFile* music, std::string* error);
