// The word reader: words of text files and console answers as formatted reads see them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/host.hpp"
#include "run/text_reader.hpp"

namespace {
// Every word of text as the reader gives them.
std::vector<std::string> words_of(const std::string &text, bool line_at_a_time = false) {
    std::FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    TextReader r(f, line_at_a_time);
    std::vector<std::string> words;
    for (std::string_view w = r.peek_word(); !w.empty(); w = r.peek_word()) {
        words.emplace_back(w);
        r.consume(w.size());
    }
    std::fclose(f);
    return words;
}
} // namespace

TEST(TextReader, CrLfLfTabsAndCtrlZ) {
    using V = std::vector<std::string>;
    EXPECT_EQ(words_of("ncols 3\r\nnrows\t2\r\n"), (V{"ncols", "3", "nrows", "2"}));
    EXPECT_EQ(words_of("1\n2\n"), (V{"1", "2"}));
    EXPECT_EQ(words_of("1 2\x1a"
                       "3 4"),
              (V{"1", "2"}));
    EXPECT_EQ(words_of("\x1a"
                       "1"),
              V{});
    EXPECT_EQ(words_of("  \r\n\t "), V{});
    EXPECT_EQ(words_of("a\vb\fc"), (V{"a", "b", "c"}));
    // A byte-order mark opening the text (Windows editors write one) is not a word.
    EXPECT_EQ(words_of("\xEF\xBB\xBF"
                       "561\r\n487\r\n"),
              (V{"561", "487"}));
    EXPECT_EQ(words_of("1 \xEF\xBB\xBF"), (V{"1", "\xEF\xBB\xBF"}));
}

TEST(TextReader, WordsAcrossBlockBoundariesAndLongWords) {
    std::string text(1 << 20, ' '); // a word straddles the first 1 MiB block
    text.replace(text.size() - 3, 3, "123");
    text += "456 ";
    const std::string keyword(10000, 'k');
    text += keyword + " 7";
    EXPECT_EQ(words_of(text), (std::vector<std::string>{"123456", keyword, "7"}));
}

TEST(TextReader, PartialConsumeLeavesTheRestForTheNextRead) {
    std::FILE *f = std::tmpfile();
    std::fputs("12abc 5", f);
    std::rewind(f);
    TextReader r(f);
    EXPECT_EQ(r.peek_word(), "12abc");
    r.consume(2);
    EXPECT_EQ(r.peek_word(), "abc");
    r.consume(3);
    EXPECT_EQ(r.peek_word(), "5");
    std::fclose(f);
}

// Its reads go through the door's fault points: a failed read ends the text.
TEST(TextReader, AFailedReadEndsTheText) {
    static const char *failing = nullptr;
    host::fault_hook = [](const char *call) {
        return std::string(call) == failing ? host::Fault::io : host::Fault::none;
    };
    for (bool line_at_a_time : {false, true}) {
        failing = line_at_a_time ? "getc" : "fread";
        EXPECT_EQ(words_of("561 487\n", line_at_a_time), std::vector<std::string>{}) << failing;
    }
    host::fault_hook = nullptr;
    EXPECT_EQ(words_of("561 487\n", true), (std::vector<std::string>{"561", "487"}));
}
