#include "platform/thread.h"

#include <atomic>
#include <system_error>

namespace tessiloom {

std::jthread StartThread(std::function<void(std::stop_token)> body) {
    try {
        return std::jthread(std::move(body));
    } catch (const std::system_error&) {
        return {};
    }
}

void ShareOut(std::size_t parts, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next = 0;
    const auto takeParts = [&] {
        for (std::size_t part; (part = next.fetch_add(1, std::memory_order_relaxed)) < parts;) work(part);
    };
    std::jthread helper;
    if (parts > 1) helper = StartThread([&](std::stop_token) { takeParts(); });
    takeParts();
}

}  // namespace tessiloom
