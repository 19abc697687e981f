// Buffer management of the word reader.
#include "run/text_reader.hpp"

#include <cstring>

#include "platform/in_file.hpp"
#include "platform/streams.hpp"

namespace {
constexpr char ctrl_z = 0x1A;
} // namespace

TextReader::TextReader(std::FILE *file, bool line_at_a_time)
    : file_(file), line_at_a_time_(line_at_a_time),
      buf_(line_at_a_time ? 4096 : std::size_t{1} << 20) {}

TextReader::TextReader(InFile &file, std::size_t block)
    : file_(nullptr), in_(&file), line_at_a_time_(false), buf_(block) {}

void TextReader::exchange_buffer(std::vector<char> &spare) {
    if (spare.size() < buf_.size()) spare.resize(buf_.size());
    std::memcpy(spare.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    buf_.swap(spare);
}

bool TextReader::fill() {
    if (ended_ || (file_ == nullptr && in_ == nullptr)) return false;
    if (pos_ > 0) { // keep only the unread part, at the front
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
    std::size_t got = 0;
    if (line_at_a_time_)
        got = stream_read_line(file_, buf_.data() + end_, buf_.size() - end_);
    else if (in_ != nullptr)
        got = in_->read(buf_.data() + end_, buf_.size() - end_);
    else
        got = stream_read(file_, buf_.data() + end_, buf_.size() - end_);
    if (got == 0) {
        ended_ = true;
        return false;
    }
    if (const void *z = std::memchr(buf_.data() + end_, ctrl_z, got)) {
        got = static_cast<std::size_t>(static_cast<const char *>(z) - (buf_.data() + end_));
        ended_ = true;
    }
    end_ += got;
    if (at_start_) {
        at_start_ = false;
        if (end_ - pos_ >= 3 && std::memcmp(buf_.data() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
    }
    return got > 0;
}
