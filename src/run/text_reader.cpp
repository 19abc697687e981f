// Buffer management of the word reader.
#include "run/text_reader.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "number/long_word.hpp"

#include "platform/in_file.hpp"
#include "platform/streams.hpp"

namespace {
constexpr char ctrl_z = 0x1A;
// The space kept for any stand-in of a long word.
constexpr std::size_t stand_in_bytes = 2048;
static_assert(LongWord::head + LongWord::sig_digits + 64 < stand_in_bytes);
} // namespace

void TextReader::moved_to_front() {
    end_ -= pos_;
    if (stand_in_at_ < pos_) stand_in_ = false;
    stand_in_at_ -= std::min(stand_in_at_, pos_);
    pos_ = 0;
}

void TextReader::exchange_buffer(std::vector<char> &spare) {
    if (spare.size() < buf_.size()) spare.resize(buf_.size());
    std::memcpy(spare.data(), buf_.data() + pos_, end_ - pos_);
    moved_to_front();
    buf_.swap(spare);
}

std::size_t TextReader::read_block(char *to, std::size_t n) {
    if (ended_ || (file_ == nullptr && in_ == nullptr)) return 0;
    std::size_t got = 0;
    if (line_at_a_time_)
        got = stream_read_line(file_, to, n);
    else if (in_ != nullptr)
        got = in_->read(to, n);
    else
        stream_read_some(file_, to, n, got); // a read error ends the text as its end does
    if (got == 0) ended_ = true;
    if (const void *z = std::memchr(to, ctrl_z, got)) {
        got = static_cast<std::size_t>(static_cast<const char *>(z) - to);
        ended_ = true;
    }
    return got;
}

void TextReader::shorten_word() {
    LongWord word;
    word.feed(buf_.data(), buf_.data() + end_);
    // The rest of the word is read behind the space left for the stand-in; the
    // text after the word then follows the stand-in.
    constexpr std::size_t kept = stand_in_bytes;
    std::size_t after = kept, after_end = kept;
    for (;;) {
        const std::size_t got = read_block(buf_.data() + kept, buf_.size() - kept);
        const char *const first = buf_.data() + kept;
        const char *const space = std::find_if(first, first + got, is_text_space);
        word.feed(first, space);
        if (space != first + got || got == 0) {
            after = static_cast<std::size_t>(space - buf_.data());
            after_end = kept + got;
            break;
        }
    }
    const std::string text = word.text();
    std::memcpy(buf_.data(), text.data(), text.size());
    std::memmove(buf_.data() + text.size(), buf_.data() + after, after_end - after);
    pos_ = 0;
    end_ = text.size() + (after_end - after);
    stand_in_ = true;
    stand_in_at_ = 0;
    ++stand_ins_;
}

bool TextReader::read_more() {
    if (ended_ || (file_ == nullptr && in_ == nullptr)) return false;
    if (pos_ > 0) { // keep only the unread part, at the front
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        moved_to_front();
    }
    if (end_ == buf_.size()) {
        if (shorten_ && end_ > 4 * stand_in_bytes &&
            std::find_if(buf_.begin(), buf_.end(), is_text_space) == buf_.end()) {
            shorten_word();
            return true;
        }
        buf_.resize(buf_.size() * 2);
    }
    const std::size_t got = read_block(buf_.data() + end_, buf_.size() - end_);
    if (got == 0) return false;
    end_ += got;
    if (at_start_) {
        at_start_ = false;
        if (end_ - pos_ >= 3 && std::memcmp(buf_.data() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
    }
    return true;
}
