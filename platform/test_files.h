#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// The sanitizers reserve far more address space than LimitAddressSpace() leaves.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kCanLimitAddressSpace = false;
#else
inline constexpr bool kCanLimitAddressSpace = true;
#endif

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

// Reads text from memory as a slow disk would for the thread that made it: pausing before each of
// its reads, so that a second reading thread starts long before the first has read a few lines,
// and takes half of them or more; with `othersDawdle`, for every other thread instead, so that the
// first thread takes over lines from the others. With `failsAtEnd`, failing where the text ends,
// as a disk read does.
class DawdlingByteSource final : public ByteSource {
  public:
    DawdlingByteSource(std::string_view text, std::chrono::microseconds pause, bool failsAtEnd = false,
                       bool othersDawdle = false)
        : text_(text), pause_(pause), failsAtEnd_(failsAtEnd), othersDawdle_(othersDawdle) {}
    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override {
        if ((std::this_thread::get_id() == owner_) != othersDawdle_) std::this_thread::sleep_for(pause_);
        Read read = text_.ReadAt(offset, buffer, capacity);
        if (std::this_thread::get_id() != owner_) readElsewhere_ += read.count;
        if (failsAtEnd_ && read.count == 0) read.failure = "Input/output error";
        return read;
    }
    std::uint64_t Size() const override { return text_.Size(); }

    // How many of its bytes threads other than the one that made it have read.
    std::size_t BytesReadElsewhere() const { return readElsewhere_; }

  private:
    StringByteSource text_;
    std::chrono::microseconds pause_;
    bool failsAtEnd_;
    bool othersDawdle_;
    const std::thread::id owner_ = std::this_thread::get_id();
    mutable std::atomic<std::size_t> readElsewhere_ = 0;
};

}  // namespace tessiloom
