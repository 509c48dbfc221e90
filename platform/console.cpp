#include "platform/console.h"

#include <cstdio>
#include <deque>
#include <mutex>

namespace {
constexpr size_t kKeptWarnings = 5;
std::mutex consoleMutex;
std::deque<std::string> warnings;
}  // namespace

void Console(std::string_view text) {
    const std::lock_guard<std::mutex> lock(consoleMutex);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!text.starts_with("[WARN]")) return;
    std::string line(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    warnings.push_back(std::move(line));
    if (warnings.size() > kKeptWarnings) warnings.pop_front();
}

std::vector<std::string> RecentWarnings() {
    const std::lock_guard<std::mutex> lock(consoleMutex);
    return {warnings.begin(), warnings.end()};
}
