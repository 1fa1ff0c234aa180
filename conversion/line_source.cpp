#include "conversion/line_source.h"

#include <algorithm>
#include <cstring>

#include "conversion/byte_scan.h"

namespace tessiloom {

LineSource::LineSource(const ByteSource& bytes, std::size_t blockBytes, std::uint64_t begin)
    : bytes_(&bytes),
      offset_(begin),
      capacity_(std::max<std::size_t>(blockBytes, 2)),
      buffer_(MakeLargeArray<char>(capacity_ + kPadding)) {
    // Touches the block now: a source made ready before its lines are known, as a second thread's
    // is, then finds its large page faulted in already.
    EndBytes();
}

void LineSource::EndBytes() {
    char* const end = buffer_.get() + end_;
    end[0] = '\n';
    std::memset(end + 1, 0, kPadding - 1);
}

void LineSource::Restart(const ByteSource& bytes, std::uint64_t begin) {
    bytes_ = &bytes;
    offset_ = begin;
    failure_.reset();
    begin_ = end_ = scanned_ = 0;
    endOfInput_ = false;
    EndBytes();
}

bool LineSource::Refill() {
    if (endOfInput_) return false;
    if (begin_ > 0) {
        const std::size_t unread = end_ - begin_;
        std::memmove(buffer_.get(), buffer_.get() + begin_, unread);
        scanned_ -= begin_;
        begin_ = 0;
        end_ = unread;
    }
    if (end_ == capacity_) {
        // One line fills the whole block: it can only be handed out whole from a larger one.
        const std::size_t larger = capacity_ * 2;
        LargeArray<char> grown = MakeLargeArray<char>(larger + kPadding);
        std::memcpy(grown.get(), buffer_.get(), end_);
        buffer_ = std::move(grown);
        capacity_ = larger;
    }
    ByteSource::Read read = bytes_->ReadAt(offset_, buffer_.get() + end_, capacity_ - end_);
    if (read.failure) failure_ = std::move(read.failure);
    const std::size_t count = read.count;
    offset_ += count;
    end_ += count;
    EndBytes();
    endOfInput_ = count == 0;
    return !endOfInput_;
}

std::size_t LineSource::FindLineEnd() {
    // The line feed after the bytes read stops the search at end_.
    const char* const bytes = buffer_.get();
    return scanned_ = static_cast<std::size_t>(tessiloom::FindLineEnd(bytes + scanned_) - bytes);
}

bool LineSource::NextLine(std::string_view& line) {
    for (;;) {
        const std::size_t terminator = FindLineEnd();
        const bool found = terminator < end_;
        if (found && buffer_[terminator] == '\r' && terminator + 1 == end_ && !endOfInput_) {
            Refill();  // the LF of a CR LF may start the next block
            continue;
        }
        if (!found && Refill()) continue;
        // After a read failure the bytes held may be a cut line: never hand them out as whole.
        if (!found && (begin_ == end_ || Failure())) return false;

        const std::size_t lineEnd = found ? terminator : end_;  // Refill may have moved the bytes
        line = std::string_view(buffer_.get() + begin_, lineEnd - begin_);
        const bool crLf =
            found && buffer_[terminator] == '\r' && terminator + 1 < end_ && buffer_[terminator + 1] == '\n';
        begin_ = scanned_ = found ? terminator + (crLf ? 2 : 1) : end_;
        return true;
    }
}

}  // namespace tessiloom
