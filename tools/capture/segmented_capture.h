// A video captured in parts: rendering one part, all the parts still to do,
// and joining them, each part over what a killed render of it left.
#pragma once

#include "tools/capture/options.h"

#include <string>

// Part K of N (--segment) into the parts folder, with its record.
int captureSegment(const CaptureOptions& options);

// Every part in OUT.parts/ that is not complete yet, then the join; the
// parts go once the video is in place.
int captureSegments(const CaptureOptions& options, const std::string& musicPath);

// --join: the parts in the parts folder into the target with `musicPath`'s
// sound, removed afterwards with --remove-parts.
int captureJoin(const CaptureOptions& options, const std::string& musicPath);

// "" when the parts a join would take are complete and of this job, else
// why not: checked before a --timeline's music is composed for them.
std::string partsToJoinProblem(const CaptureOptions& options);

// Whether the file the output would replace (the target, or the file its
// link names) is a part or a record in the parts folder.
bool outputIsAPart(const CaptureOptions& options);
