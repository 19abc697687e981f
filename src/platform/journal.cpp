// Journal text: one line per step, checked field by field when read back.
#include "platform/journal.hpp"

#include <charconv>

#include "platform/publish_names.hpp"

namespace {
constexpr std::string_view publish_head = "groundzero publish 2\n";
constexpr std::string_view undo_head = "groundzero undo    2\n";
static_assert(publish_head.size() == undo_head.size());
constexpr std::string_view end_line = "end\n";
constexpr const char *kind_names[] = {"replace", "keep", "remove"};

// The fields of one line, split at tabs; false unless there are n.
bool split(std::string_view line, std::string_view *fields, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t tab = line.find('\t');
        if ((tab == std::string_view::npos) != (k == n - 1)) return false;
        fields[k] = line.substr(0, tab);
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    }
    return true;
}

bool read_size(std::string_view text, long long &size) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    std::from_chars(text.data(), text.data() + text.size(), size);
    return true;
}

// One step, member k of the set whose journal is journal; false unless every
// name is one that such a publish gives.
bool read_step(std::string_view line, std::string_view journal, std::size_t k, Step &s) {
    std::string_view f[5];
    if (!split(line, f, 5)) return false;
    int kind = 0;
    while (kind < 3 && f[0] != kind_names[kind])
        ++kind;
    if (kind == 3 || !publish_names::is_plain_name(f[2])) return false;
    s.kind = static_cast<Step::Kind>(kind);
    s.final_name = std::string(f[2]);
    if (publish_names::journal_of(f[2]) != journal) return false;
    if (s.kind == Step::remove) {
        if (f[1] != "-" || f[4] != "-") return false;
    } else {
        if (!publish_names::is_temp_of(f[1], f[2]) || !read_size(f[4], s.size)) return false;
        s.temp = std::string(f[1]);
    }
    if (f[3] != "-" && f[3] != publish_names::copy_name(journal, k)) return false;
    s.copy = f[3] == "-" ? std::string() : std::string(f[3]);
    return true;
}
} // namespace

std::string journal_head(bool undo) {
    return std::string(undo ? undo_head : publish_head);
}

std::string journal_text(const Journal &journal) {
    std::string text = journal_head(journal.undo);
    for (const Step &s : journal.steps)
        text += std::string(kind_names[s.kind]) + '\t' + (s.temp.empty() ? "-" : s.temp) + '\t' +
                s.final_name + '\t' + (s.copy.empty() ? "-" : s.copy) + '\t' +
                (s.size < 0 ? "-" : std::to_string(s.size)) + '\n';
    return text + std::string(end_line);
}

bool read_journal(std::string_view text, std::string_view name, Journal &journal) {
    journal = Journal{};
    // Empty, or cut short: its run died before writing it whole, and so
    // before any name changed.
    if (text.size() < publish_head.size()) return publish_head.substr(0, text.size()) == text;
    journal.undo = text.substr(0, undo_head.size()) == undo_head;
    if (!journal.undo && text.substr(0, publish_head.size()) != publish_head) return false;
    text.remove_prefix(publish_head.size());
    while (!text.empty() && text != end_line) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return true; // cut short
        Step s;
        if (journal.steps.size() == publish_names::max_members ||
            !read_step(text.substr(0, end), name, journal.steps.size(), s))
            return false;
        journal.steps.push_back(s);
        text.remove_prefix(end + 1);
    }
    journal.complete = text == end_line && !journal.steps.empty();
    return journal.complete || text.empty();
}
