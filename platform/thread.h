#pragma once

#include <functional>
#include <stop_token>
#include <thread>

namespace tessiloom {

// Runs `body` on a new thread, which is asked to stop and joined when the returned handle goes. When
// the system has no thread to give, the handle is not joinable and `body` never runs: the caller
// does the work itself.
std::jthread StartThread(std::function<void(std::stop_token)> body);

}  // namespace tessiloom
