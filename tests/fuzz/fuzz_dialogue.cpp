// Whole runs: fuzzed answers over small fuzzed input files (a descriptor, a
// raw raster and an ASCII grid named f\a in the data root). Every run must end
// with status 0 or 1, leave no unfinished file, and modify no input file except
// a descriptor it created.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {
const fs::path folder = "images/f";

void put(const fs::path &p, const std::string &bytes) {
    std::ofstream(p, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void enter_scratch_drive() {
    static bool done = false;
    if (done) return;
    done = true;
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path drive = base / ("gzfuzz." + std::to_string(getpid()));
    fs::create_directories(drive / folder);
    fs::current_path(drive);
    static const fs::path scratch = drive;
    std::atexit([] {
        std::error_code ec;
        fs::current_path(scratch.parent_path(), ec);
        fs::remove_all(scratch, ec);
    });
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    quiet_harness();
    enter_scratch_drive();
    for (auto &e : fs::directory_iterator(folder))
        fs::remove_all(e.path());

    FuzzedDataProvider in(data, size);
    std::string answers = in.ConsumeRandomLengthString(512);
    const bool with_descriptor = in.ConsumeBool();
    const std::string descriptor = in.ConsumeRandomLengthString(256);
    const bool sixteen = in.ConsumeBool();
    const std::string raw = in.ConsumeRandomLengthString(4096);
    const std::string asc = in.ConsumeRemainingBytesAsString();
    // Names typed in the answers stay inside the folder: no separators.
    for (char &c : answers)
        if (c == '/' || c == '\\') c = '_';
    answers = "f a " + answers;

    const std::string raw_name = sixteen ? "a_m2.raw" : "a_m4.raw";
    const std::string descr_name = sixteen ? "a_m2.txt" : "a_m4.txt";
    put(folder / raw_name, raw);
    if (with_descriptor) put(folder / descr_name, descriptor);
    put(folder / "a.asc", asc);

    std::FILE *source = fmemopen(answers.data(), answers.size(), "rb");
    if (source == nullptr) return 0;
    use_answers(source);
    const int status = run_stage([] {
        opening();
        treatment();
    });
    use_answers(stdin);
    std::fclose(source);
    reset_state();

    if (status != -1 && status != 0 && status != 1) std::abort();
    if (slurp(folder / raw_name) != raw || slurp(folder / "a.asc") != asc) std::abort();
    if (with_descriptor && slurp(folder / descr_name) != descriptor) std::abort();
    // No unfinished output: those are named <final name>.part<process id>. (A
    // typed output name may itself hold ".part": found by this fuzzer.)
    const std::string unfinished = ".part" + std::to_string(getpid());
    for (auto &e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.size() >= unfinished.size() &&
            name.compare(name.size() - unfinished.size(), unfinished.size(), unfinished) == 0)
            std::abort();
    }
    return 0;
}
