// The list of outputs complete, with their full host paths.
#include "platform/files_written.hpp"

#include <filesystem>
#include <string>
#include <vector>

#include "platform/console.hpp"
#include "platform/host.hpp"
#include "platform/terminal.hpp"

namespace {
std::vector<std::string> written; // host paths of the outputs complete, in their order
} // namespace

void note_file_written(std::string_view dos_path) {
    std::error_code ec;
    const std::filesystem::path host(host::host_path(dos_path));
    const std::filesystem::path full = std::filesystem::absolute(host, ec);
    written.push_back(ec ? host.string() : full.string());
}

void report_files_written() {
    if (!written.empty() && is_terminal(StdStream::err)) {
        std::string line = "\ngroundzero: wrote ";
        for (std::size_t k = 0; k < written.size(); ++k)
            line += (k == 0 ? "" : ", ") + written[k];
        console_error(line + "\n");
    }
    forget_files_written();
}

void forget_files_written() {
    written.clear();
}
