// Word-by-word reading of text files and console answers, the way formatted
// reads see them: any white space separates words, CR LF and LF alike, and a
// Ctrl-Z byte ends the text.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string_view>
#include <vector>

#include "number/number_text.hpp"

class InFile;

class TextReader {
  public:
    // Words longer than this are cut into pieces of this length, so a runaway
    // "word" (a binary file read as text) can't exhaust memory.
    static constexpr std::size_t max_word = std::size_t{16} << 20;

    // line_at_a_time: take what one read line gives and don't wait for more
    // (the console); otherwise read as much as the buffer takes (small files).
    // Read this way: the console and descriptors, a few words; the buffer
    // grows for a longer text, and a small one costs nothing to clear.
    explicit TextReader(std::FILE *file, bool line_at_a_time = false)
        : file_(file), line_at_a_time_(line_at_a_time), buf_(4096) {}
    // Reads an input data file in large blocks through its own reads, so that
    // a file that can't be read twice keeps its copy for the next pass.
    // block: the size of its reads.
    explicit TextReader(InFile &file, std::size_t block = std::size_t{1} << 20)
        : file_(nullptr), in_(&file), line_at_a_time_(false), buf_(block) {}

    // Skips white space and returns the next word without consuming it; an
    // empty view at the end of the text. The view stays valid until the next call.
    std::string_view peek_word() {
        for (;;) {
            while (pos_ < end_ && is_text_space(buf_[pos_]))
                ++pos_;
            if (pos_ < end_) break;
            if (!read_more()) return {};
        }
        std::size_t i = pos_;
        for (;;) {
            while (i < end_ && !is_text_space(buf_[i]))
                ++i;
            if (i < end_ || i - pos_ >= max_word) break;
            const std::size_t offset = i - pos_;
            const std::size_t stand_ins = stand_ins_;
            const bool more = read_more(); // may move the unread text to the front
            i = stand_ins_ == stand_ins ? pos_ + offset : pos_; // or make the word short
            if (!more) break;
        }
        return {buf_.data() + pos_, i - pos_};
    }

    // Drops n characters of the word last peeked, or of the buffered text.
    void consume(std::size_t n) { pos_ += n; }

    // Bulk reading, for readers that scan many words at once (the grid body):
    // the unread text held now, white space not skipped, possibly empty. The
    // view stays valid until the next read_more or peek_word.
    std::string_view buffered() const { return {buf_.data() + pos_, end_ - pos_}; }

    // Reads more text behind the unread part, which moves to the front of the
    // buffer (a partial word: a few bytes); the buffer grows only when the
    // unread part fills it. False, adding nothing, once the text has ended.
    bool read_more();

    // Gives the buffer to the caller in spare, with the text consumed from it
    // in place, and goes on in spare's storage, which takes the unread text:
    // what was consumed stays valid without a copy.
    void exchange_buffer(std::vector<char> &spare);

    // Words that fill the buffer are not held whole from now on: each is read
    // through and replaced by its LongWord stand-in, which every reader of
    // numbers takes exactly as the word (the buffer never grows).
    void shorten_long_words() { shorten_ = true; }
    // Whether the word at the front of the unread text is such a stand-in.
    bool at_stand_in() const { return stand_in_ && stand_in_at_ == pos_; }

    // True once the text has ended (end of file, a Ctrl-Z, a read error):
    // nothing follows the buffered text.
    bool ended() const { return ended_ || (file_ == nullptr && in_ == nullptr); }

  private:
    // Reads at most n bytes at to; 0 at the end of the text (a Ctrl-Z ends it).
    std::size_t read_block(char *to, std::size_t n);
    // The buffer is one word's start: reads the word through and puts its stand-in there.
    void shorten_word();
    // The unread text has moved pos_ bytes to the front of the buffer.
    void moved_to_front();

    std::FILE *file_;
    InFile *in_ = nullptr;
    bool line_at_a_time_;
    bool ended_ = false;
    bool at_start_ = true; // a UTF-8 byte-order mark may open the text: not content
    std::vector<char> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool shorten_ = false;
    std::size_t stand_ins_ = 0;   // words replaced so far
    bool stand_in_ = false;       // the last one is still in the buffer,
    std::size_t stand_in_at_ = 0; // there
};
