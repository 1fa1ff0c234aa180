#pragma once

#include <cstddef>
#include <cstdint>

namespace tessiloom {

// A regular file's bytes seen where the system's file cache holds them, mapped into memory rather
// than copied out, which takes twice the time or more for a large listing. After the file's last
// byte come a line feed and at least a page of zeros, as a reader of lines wants: a search for the
// end of the last line stops there, and a parser may load past it.
//
// A mapped file that another program shortens would end this one with a bus error where it reads
// the lost bytes, and so would a disk that fails under a mapping. A view instead gives each lost
// page to the program as a page of line feeds, and tells that bytes were lost: those read are then
// known to be no longer the file's.
class FileView {
  public:
    // The `size` bytes of the open file `descriptor`; nothing held where the system would not map them.
    FileView(int descriptor, std::uint64_t size);
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    bool Held() const { return bytes_ != nullptr; }
    const char* Bytes() const { return bytes_; }
    // Whether bytes of the file were found gone where they were read: it was shortened since it was
    // viewed, or its disk failed.
    bool BytesLost() const;
    // Gives back the memory of the pieces of 2 MiB that hold bytes `from` up to `to`, but for the one
    // that holds byte `to` where reading `goesOn` in it. It comes back where they are read again, as
    // where another thread reads on in the first or the last. Where the pieces given back end; `from`
    // where none were.
    std::uint64_t Release(std::uint64_t from, std::uint64_t to, bool goesOn) const;

  private:
    // Maps the view; false, with what was set up left to undo, where the system would not.
    bool Map(int descriptor, std::uint64_t size);
    void Unmap();

    char* bytes_ = nullptr;  // once the whole view is in place
    char* mapping_ = nullptr;
    std::size_t mappedBytes_ = 0;
    std::size_t fileBytes_ = 0;  // mapped from the file, the rest being the view's own
    int guard_ = -1;             // the slot that tells a bus error in the view apart
};

}  // namespace tessiloom
