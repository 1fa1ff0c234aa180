#include "platform/file_view.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace tessiloom {
namespace {

// Memory is given back this much at a time, at least: each time costs the other processor a break
// to forget the pages, which for smaller pieces would cost more than reading them.
constexpr std::size_t kReleasedBytes = std::size_t{1} << 21;

std::size_t PageBytes() {
    static const auto bytes = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return bytes;
}

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

// The file's part of a view, where a bus error means bytes of the file were lost under it. Plain atomics,
// so that the signal handler may read them on any thread.
struct Guard {
    std::atomic<bool> taken = false;
    std::atomic<std::uintptr_t> begin = 0;
    std::atomic<std::uintptr_t> end = 0;
    std::atomic<bool> lost = false;
};
// One a view; a view that finds none left reads its file by copying instead.
std::array<Guard, 16> guards;
struct sigaction previousAction {};

// Hands a page of a cut view a fresh page of line feeds in the file's place, and tells the view.
bool ReplaceLostPage(std::uintptr_t at) {
    for (Guard& guard : guards) {
        if (at < guard.begin.load() || at >= guard.end.load()) continue;
        const std::size_t page = PageBytes();
        void* const start = reinterpret_cast<void*>(at / page * page);
        void* const fresh =
            ::mmap(start, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED | MAP_ANONYMOUS, -1, 0);
        if (fresh == MAP_FAILED) return false;
        auto* const bytes = static_cast<volatile char*>(fresh);
        for (std::size_t i = 0; i < page; ++i) bytes[i] = '\n';
        guard.lost.store(true);
        return true;
    }
    return false;
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const bool replaced = ReplaceLostPage(reinterpret_cast<std::uintptr_t>(info->si_addr));
    errno = savedErrno;
    if (replaced) return;  // the read is run again, and finds the line feeds
    if ((previousAction.sa_flags & SA_SIGINFO) != 0) {
        previousAction.sa_sigaction(signal, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
    } else {
        // Not a view's: the signal, sent again, ends the program once this handler returns, as it
        // would have without it.
        std::signal(SIGBUS, SIG_DFL);
        std::raise(SIGBUS);
    }
}

// A guard for the bytes from `begin` up to `end`; -1 when none is left.
int TakeGuard(std::uintptr_t begin, std::uintptr_t end) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousAction);
    });
    for (std::size_t slot = 0; slot < guards.size(); ++slot) {
        bool free = false;
        if (!guards[slot].taken.compare_exchange_strong(free, true)) continue;
        guards[slot].lost = false;
        guards[slot].end = end;
        guards[slot].begin = begin;
        return static_cast<int>(slot);
    }
    return -1;
}

void GiveBackGuard(int slot) {
    Guard& guard = guards[static_cast<std::size_t>(slot)];
    guard.begin = 0;
    guard.end = 0;
    guard.taken = false;
}

// Reads the `count` bytes at `offset` of the file into `buffer`; false where it holds fewer.
bool ReadWhole(int descriptor, char* buffer, std::size_t count, std::uint64_t offset) {
    while (count > 0) {
        const ssize_t read = ::pread(descriptor, buffer, count, static_cast<off_t>(offset));
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) return false;
        buffer += read;
        count -= static_cast<std::size_t>(read);
        offset += static_cast<std::uint64_t>(read);
    }
    return true;
}

}  // namespace

FileView::FileView(int descriptor, std::uint64_t size) {
    const std::size_t page = PageBytes();
    if (size > SIZE_MAX / 2) return;
    // The file's whole pages are mapped; the bytes of its last, partial page are copied to a page of
    // the view's own, which holds the line feed after them and is followed by a page of zeros.
    fileBytes_ = static_cast<std::size_t>(size) / page * page;
    const std::size_t tailBytes = static_cast<std::size_t>(size) - fileBytes_;
    const std::size_t viewBytes = fileBytes_ + RoundUp(tailBytes + 1, page) + page;
    // Address space for the whole view first, so that its two parts lie one after the other.
    void* const reserved =
        ::mmap(nullptr, viewBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED) return;
    mapping_ = static_cast<char*>(reserved);
    mappedBytes_ = viewBytes;
    if (fileBytes_ > 0) {
        const auto start = reinterpret_cast<std::uintptr_t>(mapping_);
        guard_ = TakeGuard(start, start + fileBytes_);
        if (guard_ < 0 ||
            ::mmap(mapping_, fileBytes_, PROT_READ, MAP_PRIVATE | MAP_FIXED, descriptor, 0) == MAP_FAILED)
            return;
    }
    char* const tail = mapping_ + fileBytes_;
    if (::mmap(tail, viewBytes - fileBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED | MAP_ANONYMOUS,
               -1, 0) == MAP_FAILED ||
        !ReadWhole(descriptor, tail, tailBytes, fileBytes_))
        return;
    tail[tailBytes] = '\n';
    ::mprotect(tail, viewBytes - fileBytes_, PROT_READ);
    bytes_ = mapping_;
}

FileView::~FileView() {
    if (guard_ >= 0) GiveBackGuard(guard_);
    if (mapping_) ::munmap(mapping_, mappedBytes_);
}

bool FileView::BytesLost() const {
    return guard_ >= 0 && guards[static_cast<std::size_t>(guard_)].lost.load();
}

std::uint64_t FileView::Release(std::uint64_t from, std::uint64_t to, bool goesOn) const {
    const std::uint64_t begin = from / kReleasedBytes * kReleasedBytes;
    const std::uint64_t end = std::min<std::uint64_t>(
        goesOn ? to / kReleasedBytes * kReleasedBytes : RoundUp(to, kReleasedBytes), fileBytes_);
    if (!bytes_ || begin >= end) return from;
    ::madvise(bytes_ + begin, end - begin, MADV_DONTNEED);
    return end;
}

}  // namespace tessiloom
