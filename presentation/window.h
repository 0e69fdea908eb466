// The presentation's window and running time, shared by the player, the
// headless renderer, the benchmark and the tests.
#pragma once

constexpr int kWindowWidth = 960;
constexpr int kWindowHeight = 89;
constexpr int kWindowDepth = 16;

// The run ends at the first frame whose demo time is not below this.
constexpr float kEndTime = 130.0f;
