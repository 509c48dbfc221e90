#pragma once
// A screenshot the program saved, read back: its size, and pixels unlike the
// clear colour and colours in all (a frame that drew nothing has neither).

#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdlib>
#include <set>
#include <string>

inline void ExpectDrawnPicture(const std::string& png, int& width, int& height) {
    int n = 0;
    unsigned char* pixels = stbi_load(png.c_str(), &width, &height, &n, 3);
    ASSERT_NE(pixels, nullptr) << png;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    size_t drawn = 0;
    std::set<int> colours;
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* p = pixels + 3 * i;
        if (std::abs(p[0] - 26) + std::abs(p[1] - 28) + std::abs(p[2] - 33) > 6) ++drawn;
        colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
    }
    stbi_image_free(pixels);
    EXPECT_GT(drawn, count / 5);
    EXPECT_GT(colours.size(), 200u);
}
