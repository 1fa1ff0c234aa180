#include "conversion/line_source.h"

#include <algorithm>
#include <cstring>

#include "conversion/messages.h"

namespace tessiloom {

namespace {

// What a line source without a block reads: one empty line, which it never hands out.
constexpr char kNoBytes[LineBlock::kPadding] = {'\n'};

}  // namespace

bool LineBlock::Hold() {
    if (bytes_) return true;
    bytes_ = MakeLargeArray<char>(capacity_ + kPadding);
    constexpr std::size_t kSmallPage = 4096;
    for (std::size_t at = 0; bytes_ && at < capacity_ + kPadding; at += kSmallPage) bytes_[at] = 0;
    return bytes_ != nullptr;
}

bool LineBlock::Grow(std::size_t keep) {
    const std::size_t larger = capacity_ * 2;
    LargeArray<char> grown = larger > capacity_ ? MakeLargeArray<char>(larger + kPadding) : nullptr;
    if (!grown) return false;
    std::memcpy(grown.get(), bytes_.get(), keep);
    bytes_ = std::move(grown);
    capacity_ = larger;
    return true;
}

LineSource::LineSource(const ByteSource& bytes, std::uint64_t begin, LineBlock& block)
    : bytes_(bytes), block_(block), offset_(begin) {
    Start();
}

LineSource::LineSource(const ByteSource& bytes, std::size_t blockBytes)
    : bytes_(bytes), ownBlock_(std::in_place, blockBytes), block_(*ownBlock_), offset_(0) {
    Start();
}

LineSource::~LineSource() {
    if (viewing_) bytes_.Release(released_, Position(), false);
}

void LineSource::Start() {
    if (ByteSource::View view = ViewNext(); view.bytes) {
        viewing_ = true;
        data_ = view.bytes;
        released_ = offset_;
        TakeView(std::move(view));
        return;
    }
    if (!block_.Hold()) {
        data_ = kNoBytes;
        failure_ = kOutOfMemoryProblem;
        atEnd_ = true;
        return;
    }
    data_ = block_.Data();
    EndBytes();
}

void LineSource::EndBytes() {
    char* const end = block_.Data() + end_;
    end[0] = '\n';
    std::memset(end + 1, 0, kPadding - 1);
}

ByteSource::View LineSource::ViewNext() const {
    return bytes_.ViewAt(offset_, std::min(block_.Capacity(), kViewBytes));
}

void LineSource::TakeView(ByteSource::View view) {
    offset_ += view.count;
    end_ += view.count;
    if (view.failure) failure_ = std::move(view.failure);
    atEnd_ = view.count == 0;
}

void LineSource::Refill() {
    if (viewing_) {
        released_ = bytes_.Release(released_, Position(), true);
        TakeView(ViewNext());
        return;
    }
    const std::size_t unread = end_ - begin_;
    std::memmove(block_.Data(), block_.Data() + begin_, unread);
    begin_ = 0;
    end_ = unread;
    // One line fills the whole block: it can only be handed out whole from a larger one.
    if (end_ == block_.Capacity() && !block_.Grow(end_)) {
        failure_ = kOutOfMemoryProblem;
        atEnd_ = true;
        return;
    }
    data_ = block_.Data();
    ByteSource::Read read = bytes_.ReadAt(offset_, block_.Data() + end_, block_.Capacity() - end_);
    if (read.failure) failure_ = std::move(read.failure);
    offset_ += read.count;
    end_ += read.count;
    EndBytes();
    atEnd_ = read.count == 0;
}

bool LineSource::HandOut(std::string_view& line, std::size_t end) {
    line = std::string_view(data_ + begin_, end - begin_);
    // A CR that ends the input is followed by the line feed put after the bytes read, which ends nothing.
    begin_ = std::min(static_cast<std::size_t>(PastLineEnd(data_ + end) - data_), end_);
    return true;
}

bool LineSource::NextLineAtBlockEnd(std::string_view& line) {
    std::size_t scanned = 0;  // no line end lies in the first `scanned` unread bytes
    for (;;) {
        const auto end = static_cast<std::size_t>(FindLineEnd(data_ + begin_ + scanned) - data_);
        if (end < end_ && (data_[end] == '\n' || end + 1 < end_ || atEnd_)) return HandOut(line, end);
        if (atEnd_) {
            // After a failure the bytes held may be a cut line: never hand them out as whole.
            if (failure_ || begin_ == end_) return false;
            return HandOut(line, end_);
        }
        // A CR that ends the bytes is looked at again. Seen in place, the search went on past them to
        // where the line ends in the source, which later views reach without searching again: a
        // long line is searched once, not once a view.
        scanned = (viewing_ ? end : std::min(end, end_)) - begin_;
        Refill();
    }
}

}  // namespace tessiloom
