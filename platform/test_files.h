#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/byte_sink.h"
#include "platform/byte_source.h"

// What tests of every folder need around files: a scratch folder, whole-file reads and writes, a
// disk that fills up, a sink that keeps the bytes in memory and a source that takes its time.
namespace tessiloom {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        const auto base = std::filesystem::temp_directory_path();
        do {
            path_ = base / ("tessiloom-test-" + std::to_string(std::random_device{}()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Caps the size of any file this process writes, the way a full disk stops a write, until
// destroyed. Unlike permissions, the cap holds for root too. Exceeding it raises SIGXFSZ, which
// is ignored meanwhile so that the write fails with EFBIG instead of ending the process.
class FileSizeCap {
  public:
    explicit FileSizeCap(rlim_t bytes) : signalBefore_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &before_);
        rlimit capped = before_;
        capped.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, signalBefore_);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

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

// Reads text from memory, pausing before every read, so that a second reading thread starts long
// before the first has read a few lines, and takes half of them.
class DawdlingByteSource final : public ByteSource {
  public:
    DawdlingByteSource(std::string_view text, std::chrono::microseconds pause) : text_(text), pause_(pause) {}
    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override {
        std::this_thread::sleep_for(pause_);
        return text_.ReadAt(offset, buffer, capacity);
    }

  private:
    StringByteSource text_;
    std::chrono::microseconds pause_;
};

}  // namespace tessiloom
