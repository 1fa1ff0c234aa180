#include "platform/thread.h"

#include <system_error>

namespace tessiloom {

std::jthread StartThread(std::function<void(std::stop_token)> body) {
    try {
        return std::jthread(std::move(body));
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace tessiloom
