#pragma once

#include <cstdio>
#include <memory>

namespace tessiloom {

// The one owner of every C stream the program opens: the stream is closed when the handle goes.
// Code that must know whether closing worked (a file being written) releases it and closes it itself.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace tessiloom
