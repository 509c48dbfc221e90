#include "platform/app_icon.h"

#include <cmath>

std::vector<uint8_t> DrawAppIcon(int size) {
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * static_cast<size_t>(size) * 4, 0);
    // The picture is laid out on a 64-pixel grid and scaled to the size asked for.
    const float scale = 64.0f / static_cast<float>(size);
    const float c = (static_cast<float>(size) - 1.0f) / 2.0f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float dx = (static_cast<float>(x) - c) * scale;
            const float dy = (static_cast<float>(y) - c) * scale;
            const float r = std::sqrt(dx * dx + dy * dy);
            const bool head = std::fabs(dx) < 9.0f && dy > -20.0f && dy < 6.0f &&
                              (dy > -11.0f || dx * dx + (dy + 11.0f) * (dy + 11.0f) < 81.0f);
            const bool stand = (std::fabs(dx) < 2.0f && dy >= 6.0f && dy < 18.0f) ||
                               (std::fabs(dx) < 10.0f && dy >= 18.0f && dy < 21.0f);
            const uint8_t white[4] = {235, 240, 245, 255};
            const uint8_t cyan[4] = {26, 184, 235, 255};
            const uint8_t dark[4] = {17, 24, 36, 255};
            const uint8_t* colour = head || stand ? white : r < 30.0f && r > 26.0f ? cyan : r <= 26.0f ? dark : nullptr;
            if (colour == nullptr) continue;
            uint8_t* pixel = rgba.data() + (static_cast<size_t>(y) * static_cast<size_t>(size) + x) * 4;
            for (int i = 0; i < 4; ++i) pixel[i] = colour[i];
        }
    }
    return rgba;
}
