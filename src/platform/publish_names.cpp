// The names a publish gives its files for a moment, derived from final names.
#include "platform/publish_names.hpp"

#include <cstdint>

#include "platform/host.hpp"

namespace publish_names {
namespace {
constexpr std::string_view start = "groundzero-";
constexpr std::size_t hash_digits = 16;
constexpr std::string_view hex_digits = "0123456789abcdef";

// A hash of a name that is blind to ASCII case, as the file systems of
// Windows and of SD cards are: two spellings of one file share its names.
std::string hash_text(std::string_view name) {
    std::uint64_t h = 0xcbf29ce484222325ULL; // 64-bit FNV-1a
    for (char c : name) {
        const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        h = (h ^ static_cast<unsigned char>(folded)) * 0x100000001b3ULL;
    }
    std::string text(hash_digits, '0');
    for (std::size_t k = hash_digits; k-- > 0; h >>= 4)
        text[k] = hex_digits[h & 0xF];
    return text;
}
} // namespace

std::string_view key_of(std::string_view final_name) {
    return final_name.substr(0, final_name.rfind('.'));
}

std::string journal_of(std::string_view final_name) {
    return std::string(start) + hash_text(key_of(final_name)) + ".journal";
}

std::string copy_name(std::string_view journal, std::size_t member) {
    return std::string(journal.substr(0, start.size() + hash_digits)) + "-" +
           std::to_string(member) + ".old";
}

std::string temp_name(std::string_view final_name, int slot) {
    const std::string head = std::string(start) + hash_text(final_name) + "-";
    if (slot >= 0) return head + std::to_string(slot) + ".part";
    // Past the slots: a name nobody can guess (still created exclusively).
    const std::string random = host::unique_name("");
    return head + random.substr(random.size() - hash_digits) + ".part";
}

bool is_temp_of(std::string_view temp, std::string_view final_name) {
    const std::string head = std::string(start) + hash_text(final_name) + "-";
    constexpr std::string_view ending = ".part";
    if (temp.size() <= head.size() + ending.size() || temp.substr(0, head.size()) != head ||
        temp.substr(temp.size() - ending.size()) != ending)
        return false;
    const std::string_view mark =
        temp.substr(head.size(), temp.size() - head.size() - ending.size());
    const bool slot = mark.size() == 1 && mark[0] >= '0' && mark[0] < '0' + temp_slots;
    return slot || (mark.size() == hash_digits && mark.find_first_not_of(hex_digits) == mark.npos);
}

bool is_plain_name(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (char c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

} // namespace publish_names
