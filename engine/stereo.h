#pragma once

struct StereoSample {
    float left = 0.0f;
    float right = 0.0f;
};
