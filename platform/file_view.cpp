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

// The file cache holds a large file in pieces of up to this size, which the system maps whole, in
// one fault and one entry of the processor's page table cache, where the mapping starts at a
// multiple of it as the file does. Mapped at any other address, the pieces are mapped a page at a
// time: the conversion of the large grid took 4% longer (186 against 179 ms, 15 alternating rounds
// of each order).
constexpr std::size_t kLargePieceBytes = std::size_t{1} << 21;
// Memory is given back a whole piece at a time, at least: each time costs the other processor a
// break to forget the pages, which for smaller pieces would cost more than reading them, and a
// piece mapped whole would be split to give back part of it.
constexpr std::size_t kReleasedBytes = kLargePieceBytes;

std::size_t PageBytes() {
    static const auto bytes = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return bytes;
}

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

// The file's part of a view, where a bus error means bytes of the file were lost under it: its first
// page and its count of pages in one word, so that the signal handler, on any thread, reads them
// together or not at all; 0 for none.
struct Guard {
    std::atomic<std::uint64_t> pages = 0;
    std::atomic<bool> lost = false;
};
constexpr int kCountBits = 29;  // up to 2 TiB a view in pages of 4 KiB, with 35 bits for the first page
// One for each view; a view that finds none left is not made, and its file is read by copying.
std::array<Guard, 16> guards;
struct sigaction previousAction {};

// Puts a fresh page of line feeds in place of the page of a view at `at`, whose bytes were lost, and
// tells the view; false where `at` lies in no view.
bool ReplaceLostPage(std::uintptr_t at) {
    const std::size_t page = PageBytes();
    for (Guard& guard : guards) {
        const std::uint64_t pages = guard.pages.load();
        const std::uint64_t first = pages >> kCountBits;
        if (pages == 0 || at / page < first ||
            at / page - first >= (pages & ((std::uint64_t{1} << kCountBits) - 1)))
            continue;
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

// A guard for `bytes` bytes of whole pages from `start`; -1 when none is left, or they are too many.
int TakeGuard(const char* start, std::size_t bytes) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousAction);
    });
    const std::uint64_t first = reinterpret_cast<std::uintptr_t>(start) / PageBytes();
    const std::uint64_t count = bytes / PageBytes();
    if (count >> kCountBits != 0 || first >> (64 - kCountBits) != 0) return -1;
    for (std::size_t slot = 0; slot < guards.size(); ++slot) {
        std::uint64_t free = 0;
        if (!guards[slot].pages.compare_exchange_strong(free, first << kCountBits | count)) continue;
        guards[slot].lost = false;  // before the file is mapped, so that no bus error can be lost
        return static_cast<int>(slot);
    }
    return -1;
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
    // Whatever was set up goes at once, not with the view: the file is read by copying instead.
    if (!Map(descriptor, size)) Unmap();
}

bool FileView::Map(int descriptor, std::uint64_t size) {
    const std::size_t page = PageBytes();
    if (size > SIZE_MAX / 2) return false;
    // The file's whole pages are mapped; the bytes of its last, partial page are copied to a page of
    // the view's own, which holds the line feed after them and is followed by a page of zeros.
    fileBytes_ = static_cast<std::size_t>(size) / page * page;
    const std::size_t tailBytes = static_cast<std::size_t>(size) - fileBytes_;
    mappedBytes_ = fileBytes_ + RoundUp(tailBytes + 1, page) + page;
    // Address space for the whole view first, so that its two parts lie one after the other, from a
    // multiple of the file cache's large pieces: more is taken, and what lies around the view is
    // given back.
    const std::size_t slack = kLargePieceBytes - page;
    void* const reserved =
        ::mmap(nullptr, mappedBytes_ + slack, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED) return false;
    const auto start = reinterpret_cast<std::uintptr_t>(reserved);
    const std::uintptr_t aligned = RoundUp(start, kLargePieceBytes);
    if (aligned > start) ::munmap(reserved, aligned - start);
    if (const std::uintptr_t after = aligned + mappedBytes_; start + mappedBytes_ + slack > after)
        ::munmap(reinterpret_cast<void*>(after), start + mappedBytes_ + slack - after);
    mapping_ = reinterpret_cast<char*>(aligned);
    if (fileBytes_ > 0 &&
        ((guard_ = TakeGuard(mapping_, fileBytes_)) < 0 ||
         ::mmap(mapping_, fileBytes_, PROT_READ, MAP_PRIVATE | MAP_FIXED, descriptor, 0) == MAP_FAILED))
        return false;
    char* const tail = mapping_ + fileBytes_;
    const std::size_t ownBytes = mappedBytes_ - fileBytes_;
    if (::mmap(tail, ownBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED | MAP_ANONYMOUS, -1, 0) ==
            MAP_FAILED ||
        !ReadWhole(descriptor, tail, tailBytes, fileBytes_))
        return false;
    tail[tailBytes] = '\n';
    ::mprotect(tail, ownBytes, PROT_READ);
    bytes_ = mapping_;
    return true;
}

FileView::~FileView() {
    Unmap();
}

void FileView::Unmap() {
    if (guard_ >= 0) guards[static_cast<std::size_t>(guard_)].pages = 0;
    if (mapping_) ::munmap(mapping_, mappedBytes_);
    bytes_ = mapping_ = nullptr;
    guard_ = -1;
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
