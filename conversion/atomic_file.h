#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace tessiloom {

// Where the image's bytes go, so tests can stand in for the disk.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends `size` bytes; false when they could not all be written.
    virtual bool Write(const char* data, std::size_t size) = 0;
};

// A file that appears under its name only whole. The bytes go to a new temporary file beside
// `path`; Commit() closes it and renames it onto `path`. Until then, and whenever a step fails,
// `path` is left exactly as it was, and the destructor removes the temporary file.
class AtomicFile final : public ByteSink {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Write(const char* data, std::size_t size) override;
    // Closes the temporary file and renames it onto the final path; false on failure.
    bool Commit();

    // Why creating, writing or committing failed ("No space left on device"), to follow the
    // final path in a message; empty while nothing failed.
    const std::optional<std::string>& Failure() const { return failure_; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    void Fail(int error);

    std::string path_;
    std::string temporaryPath_;
    std::unique_ptr<std::FILE, Closer> file_;
    std::optional<std::string> failure_;
    bool committed_ = false;
};

}  // namespace tessiloom
