#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/byte_sink.h"
#include "platform/byte_source.h"

// What tests of every folder need around files: a scratch folder, whole-file reads and writes, a
// disk that fills up, memory that runs out, a sink that keeps the bytes in memory and a source that
// takes its time.
namespace tessiloom {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
// Neither copied nor moved, so that it is removed once.
class TemporaryFolder {
  public:
    TemporaryFolder() : path_(std::filesystem::temp_directory_path() / "tessiloom-test-XXXXXX") {
        path_ = ::mkdtemp(path_.string().data());  // the X's become a name no one has taken
    }
    TemporaryFolder(TemporaryFolder&&) = delete;
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename());
        std::ranges::sort(names);
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
// The sanitizers reserve far more address space than LimitAddressSpace() leaves.
inline constexpr bool kCanLimitAddressSpace = !kUnderSanitizer;

// Whatever it holds now and `more` bytes are all the address space this process may ever have:
// for a child process whose memory is to run out.
inline void LimitAddressSpace(rlim_t more) {
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = std::min(pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + more, limit.rlim_max);
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::abort();
}

// Caps the size of any file this process writes, the way a full disk stops a write, until
// destroyed. Unlike permissions, the cap holds for root too. Exceeding it raises SIGXFSZ, which
// is ignored meanwhile so that the write fails with EFBIG instead of ending the process.
class FileSizeCap {
  public:
    explicit FileSizeCap(rlim_t bytes) : signalBefore_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &before_);
        const rlimit capped{bytes, before_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    FileSizeCap(FileSizeCap&&) = delete;  // restores the limit once
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, signalBefore_);
    }

  private:
    void (*signalBefore_)(int);
    rlimit before_{};
};

// Keeps everything written to it; with `accepted` set, refuses every write after that many, the
// way a disk that has filled up does.
class MemorySink final : public ByteSink {
  public:
    explicit MemorySink(int accepted = -1) : accepted_(accepted) {}
    bool Write(const char* data, std::size_t size) override {
        if (accepted_ >= 0 && writes >= accepted_) return false;
        ++writes;
        bytes.append(data, size);
        return true;
    }

    std::string bytes;
    int writes = 0;

  private:
    int accepted_;
};

// How a DawdlingByteSource reads.
struct Dawdling {
    std::chrono::microseconds pause{};  // before each read of the thread that made it
    bool othersDawdle = false;          // every other thread pauses instead
    bool failsAtEnd = false;            // a read where the text ends fails, as a disk read does
    bool inPlace = false;               // the text is seen in place, as a mapped file is, not copied
};

// Reads text from memory as a slow disk would for the thread that made it: pausing before each of
// its reads, so that a second reading thread starts long before the first has read a few lines,
// and takes half of them or more; or for every other thread instead, so that the first thread
// takes over lines from the others.
class DawdlingByteSource final : public ByteSource {
  public:
    DawdlingByteSource(std::string_view text, Dawdling how)
        : text_(std::string(text) + '\n' + std::string(4096, '\0')), size_(text.size()), how_(how) {}
    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override {
        const std::size_t count = Take(offset, capacity);
        std::memcpy(buffer, text_.data() + std::min<std::uint64_t>(offset, size_), count);
        return {count, Failure(offset)};
    }
    View ViewAt(std::uint64_t offset, std::size_t capacity) const override {
        if (!how_.inPlace) return {};
        const std::size_t count = Take(offset, capacity);
        return {text_.data() + std::min<std::uint64_t>(offset, size_), count, Failure(offset)};
    }
    std::uint64_t Size() const override { return size_; }

    // How many of its bytes threads other than the one that made it have read.
    std::size_t BytesReadElsewhere() const { return readElsewhere_; }

  private:
    // Pauses, if this thread dawdles, and counts the bytes it reads from `offset` on, up to `capacity`.
    std::size_t Take(std::uint64_t offset, std::size_t capacity) const {
        if ((std::this_thread::get_id() == owner_) != how_.othersDawdle)
            std::this_thread::sleep_for(how_.pause);
        const std::size_t count = offset < size_ ? std::min<std::size_t>(capacity, size_ - offset) : 0;
        if (std::this_thread::get_id() != owner_) readElsewhere_ += count;
        return count;
    }
    std::optional<std::string> Failure(std::uint64_t offset) const {
        if (how_.failsAtEnd && offset >= size_) return "Input/output error";
        return std::nullopt;
    }

    const std::string text_;  // followed by a line feed and a page of zeros, as a view is
    const std::size_t size_;
    const Dawdling how_;
    const std::thread::id owner_ = std::this_thread::get_id();
    mutable std::atomic<std::size_t> readElsewhere_ = 0;
};

}  // namespace tessiloom
