#pragma once

#include <cstddef>
#include <functional>
#include <stop_token>
#include <thread>

namespace tessiloom {

// Runs `body` on a new thread, which is asked to stop and joined when the returned handle goes. When
// the system has no thread to give, the handle is not joinable and `body` never runs: the caller
// does the work itself.
std::jthread StartThread(std::function<void(std::stop_token)> body);

// Calls `work(part)` once for each part from 0 up to `parts`, on this thread and on one more where
// the system gives one, and returns when every part is done. Each thread takes the next part that
// neither has taken, so that a thread slow to start costs nothing.
void ShareOut(std::size_t parts, const std::function<void(std::size_t)>& work);

}  // namespace tessiloom
