// Host paths, and outputs that appear whole or not at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/in_file.hpp"
#include "platform/journal.hpp"
#include "platform/mend.hpp"
#include "platform/out_file.hpp"
#include "platform/publish.hpp"
#include "platform/publish_names.hpp"
#include "platform/unfinished_outputs.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {
std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A scratch folder that stands for drive C: while the test runs (on Windows,
// where c:\ is the real drive, a scratch folder named by its own full path).
struct ScratchDrive {
    // The path text, in Windows form, of a file below the scratch folder.
    std::string dos(const std::string &rel) const {
#ifdef _WIN32
        return (dir / rel).string();
#else
        std::string path = "c:\\" + rel;
        for (char &c : path)
            if (c == '/') c = '\\';
        return path;
#endif
    }
    fs::path old = fs::current_path();
    fs::path dir = fs::temp_directory_path() /
                   ("gzfiles" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ScratchDrive() {
        fs::remove_all(dir);
        fs::create_directories(dir / "images" / "d");
        fs::current_path(dir);
    }
    ~ScratchDrive() {
        fs::current_path(old);
        fs::remove_all(dir);
    }
};
} // namespace

TEST(HostPath, DriveCStandsForTheWorkingDirectory) {
#ifndef _WIN32
    EXPECT_EQ(host::host_path("c:\\images\\dems\\site_m2.raw"), "images/dems/site_m2.raw");
    EXPECT_EQ(host::host_path("C:\\images\\a\\b\\x.asc"), "images/a/b/x.asc");
#else
    EXPECT_EQ(host::host_path("c:\\images\\dems\\site_m2.raw"), "c:\\images\\dems\\site_m2.raw");
#endif
}

TEST(OutFile, TextIsWrittenWithCrLfAndAppearsOnlyWhenCommitted) {
    ScratchDrive drive;
    OutFile out;
    ASSERT_TRUE(out.open(drive.dos("images/d/t.txt")));
    out.write_text("12\n-3\n\n4");
    out.write("\n", 1); // binary bytes stay as they are
    EXPECT_FALSE(fs::exists("images/d/t.txt"));
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(slurp("images/d/t.txt"), "12\r\n-3\r\n\r\n4\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("images/d"), fs::directory_iterator{}), 1);
}

TEST(OutFile, DiscardedOrFailedOutputsLeaveTheOldFileUntouched) {
    ScratchDrive drive;
    { std::ofstream("images/d/old.raw") << "precious"; }
    {
        OutFile out;
        ASSERT_TRUE(out.open(drive.dos("images/d/old.raw")));
        out.write("new", 3);
        out.discard();
    }
    {
        OutFile out; // never committed: the destructor removes the part file
        ASSERT_TRUE(out.open(drive.dos("images/d/old.raw")));
        out.write("new", 3);
    }
    {
        OutFile a, b;
        ASSERT_TRUE(a.open(drive.dos("images/d/old.raw")));
        ASSERT_TRUE(b.open(drive.dos("images/d/other.raw")));
        discard_all_outputs();
        EXPECT_FALSE(a.is_open());
        EXPECT_FALSE(b.is_open());
    }
    EXPECT_EQ(slurp("images/d/old.raw"), "precious");
    EXPECT_EQ(std::distance(fs::directory_iterator("images/d"), fs::directory_iterator{}), 1);
    OutFile missing;
    EXPECT_FALSE(missing.open(drive.dos("images/nofolder/x.raw")));
}

// A raster and its descriptor over older files: both new files stand, or
// where the descriptor's rename fails, or its name holds a folder (no file to
// keep or replace), the raster's older file (or none) stands again, and
// nothing else is left.
TEST(CommitOutputs, APairReplacesItsOlderFilesTogetherOrNotAtAll) {
    enum How { whole, rename_fails, folder };
    static How how = whole;
    static int renames = 0;
    host::fault_hook = [](const char *call) {
        const bool second = std::string(call) == "rename" && ++renames == 2;
        return how == rename_fails && second ? host::Fault::io : host::Fault::none;
    };
    const struct {
        bool older_raster;
        How how;
    } cases[] = {{true, whole}, {true, rename_fails}, {false, rename_fails}, {false, folder}};
    for (const auto &c : cases) {
        ScratchDrive drive;
        if (c.older_raster) std::ofstream("images/d/a.raw") << "older raster";
        if (c.how == folder) fs::create_directories("images/d/a.txt/in_the_way");
        if (c.how != folder) std::ofstream("images/d/a.txt") << "older descriptor";
        OutFile raster, descriptor;
        ASSERT_TRUE(raster.open(drive.dos("images/d/a.raw")));
        ASSERT_TRUE(descriptor.open(drive.dos("images/d/a.txt")));
        raster.write("new raster", 10);
        descriptor.write_text("2\n");
        const OutFile *failed = nullptr;
        renames = 0;
        how = c.how;
        EXPECT_EQ(commit_outputs({&raster, &descriptor}, &failed), c.how == whole);
        how = whole;
        const bool failing = c.how != whole;
        EXPECT_EQ(failed, failing ? &descriptor : nullptr);
        EXPECT_EQ(descriptor.error().empty(), !failing);
        const std::string older = c.older_raster ? "older raster" : "-";
        EXPECT_EQ(fs::exists("images/d/a.raw") ? slurp("images/d/a.raw") : "-",
                  failing ? older : "new raster");
        EXPECT_EQ(fs::is_directory("images/d/a.txt") ? "folder" : slurp("images/d/a.txt"),
                  c.how == whole    ? "2\r\n"
                  : c.how == folder ? "folder"
                                    : "older descriptor");
        EXPECT_EQ(std::distance(fs::directory_iterator("images/d"), fs::directory_iterator{}),
                  c.older_raster || c.how == whole ? 2 : 1);
    }
    host::fault_hook = nullptr;
}

// Where a volume or the system refuses a link (FAT, another user's file), the
// older file is kept by a whole copy and the publish goes on; any other
// failure of the link fails it, as does the older file's stat (its permission
// bits can't be taken over), the older file kept (Windows copies always). A
// large output is synced early too, on a thread: a failure there fails the
// publish though the last sync succeeds (a system may report a failed
// writeback once); without a thread it is synced at the end alone.
TEST(CommitOutputs, ALinkRefusedIsACopyAnotherFailedLinkTheOlderFilesStatOrASyncFails) {
    using F = host::Fault;
    static const char *call = "";
    static F fault = F::none;
    host::fault_hook = [](const char *c) { return std::string(c) == call ? fault : F::none; };
    const std::string small = "new", large(std::size_t{20} << 20, 'z'); // large: synced early
    const struct {
        const char *call;
        F fault;
        bool ok;
        bool large;
    } cases[] = {{"link", F::not_permitted, true, false},
                 {"link", F::cross_device, true, false},
                 {"link", F::too_many_links, true, false},
                 {"link", F::not_implemented, true, false},
                 {"link", F::not_supported, true, false},
                 {"link", F::io, false, false},
                 {"link", F::no_space, false, false},
                 {"stat", F::io, false, false},
                 {"stat", F::denied, false, false},
                 {"sync_data", F::io, false, true},
                 {"sync", F::io, false, true},
                 {"thread", F::io, true, true}};
    for (const auto &c : cases) {
        ScratchDrive drive;
        { std::ofstream("images/d/a.raw") << "older"; }
        OutFile out;
        ASSERT_TRUE(out.open(drive.dos("images/d/a.raw")));
        const std::string &text = c.large ? large : small;
        call = c.call;
        fault = c.fault;
        for (std::size_t at = 0; at < text.size(); at += std::size_t{1} << 20)
            out.write(text.data() + at, std::min(text.size() - at, std::size_t{1} << 20));
        const bool ok = out.commit();
        fault = F::none;
        const std::string what = c.call + std::to_string(static_cast<int>(c.fault));
#ifdef _WIN32
        EXPECT_EQ(ok, c.ok || call == std::string("link")) << what;
#else
        EXPECT_EQ(ok, c.ok) << what;
#endif
        EXPECT_EQ(out.error().empty(), ok) << what;
        EXPECT_TRUE(slurp("images/d/a.raw") == (ok ? text : "older")) << what;
        EXPECT_EQ(std::distance(fs::directory_iterator("images/d"), fs::directory_iterator{}), 1);
    }
    host::fault_hook = nullptr;
}

// A read that failed ends the input: nothing is read after it, nor again.
TEST(InFile, AReadAfterAFailureGivesNothing) {
    ScratchDrive drive;
    { std::ofstream("images/d/a.raw") << "0123456789"; }
    static bool failing = false;
    host::fault_hook = [](const char *call) {
        return failing && std::string(call) == "fread" ? host::Fault::io : host::Fault::none;
    };
    InFile in;
    ASSERT_TRUE(in.open(drive.dos("images/d/a.raw")));
    char data[4];
    EXPECT_EQ(in.read(data, 2), 2u);
    failing = true;
    EXPECT_EQ(in.read(data, 2), 0u);
    failing = false;
    host::fault_hook = nullptr;
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.read(data, 2), 0u);
    EXPECT_FALSE(in.rewind());
}

// A dead run's journal cut short (its run changed no name) is read up to the
// longest a journal may be, and mended; a longer one is no journal of ours.
TEST(Mend, AJournalUpToItsSizeLimitIsMendedALongerOneHoldsItsNames) {
    for (std::size_t size : {journal_limit, journal_limit + 1}) {
        ScratchDrive drive;
        const std::string name = publish_names::journal_of("a.raw");
        std::string text = journal_head(false) + "replace\t" +
                           publish_names::temp_name("a.raw", 0) + "\ta.raw\t-\t3\n";
        text.resize(size, 'x');
        { std::ofstream("images/d/" + name, std::ios::binary) << text; }
        std::string why;
        const Settled s = settle_journal(place_of(drive.dos("images/d/a.raw")), name, why);
        EXPECT_EQ(s, size <= journal_limit ? Settled::clear : Settled::held) << size << why;
        EXPECT_EQ(fs::exists("images/d/" + name), s != Settled::clear) << size;
    }
}

TEST(CommitOutputs, ACreatedFileNeverReplacesOneThatAppearedMeanwhile) {
    ScratchDrive drive;
    OutFile created;
    ASSERT_TRUE(created.open(drive.dos("images/d/a_m2.txt"), OutFile::Existing::keep));
    created.write_text("1\n2\n2\n");
    { std::ofstream("images/d/a_m2.txt") << "the user's own"; }
    ASSERT_TRUE(created.commit());
    EXPECT_TRUE(created.kept_existing());
    EXPECT_EQ(slurp("images/d/a_m2.txt"), "the user's own");
    EXPECT_EQ(std::distance(fs::directory_iterator("images/d"), fs::directory_iterator{}), 1);

    OutFile fresh;
    ASSERT_TRUE(fresh.open(drive.dos("images/d/b_m2.txt"), OutFile::Existing::keep));
    fresh.write_text("4\n");
    ASSERT_TRUE(fresh.commit());
    EXPECT_FALSE(fresh.kept_existing());
    EXPECT_EQ(slurp("images/d/b_m2.txt"), "4\r\n");
}

TEST(OutFile, LargeAndSmallWritesKeepTheirOrder) {
    ScratchDrive drive;
    OutFile out;
    ASSERT_TRUE(out.open(drive.dos("images/d/big.raw")));
    std::string expected;
    for (std::size_t size : {std::size_t{3}, std::size_t{5} << 20, std::size_t{7},
                             (std::size_t{1} << 20) - 2, std::size_t{1} << 20}) {
        const std::string part(size, static_cast<char>('a' + expected.size() % 26));
        out.write(part.data(), part.size());
        expected += part;
    }
    ASSERT_TRUE(out.commit());
    EXPECT_TRUE(slurp("images/d/big.raw") == expected);
}

TEST(OutFile, NothingPlantedAtItsTemporaryNameIsFollowedBlocksOrIsWrittenInto) {
    const struct {
        const char *what;
        bool (*plant)(const fs::path &at); // false where the host can't make one
        bool reclaimed = false;
    } plants[] = {
        {"a symlink to a file outside the folder",
         [](const fs::path &at) {
             std::error_code ec;
             fs::create_symlink(fs::absolute("images/victim"), at, ec);
             return !ec;
         }},
        {"a hard link to a file outside the folder",
         [](const fs::path &at) {
             std::error_code ec;
             fs::create_hard_link("images/victim", at, ec);
             return !ec;
         }},
#ifndef _WIN32
        {"a named pipe", [](const fs::path &at) { return mkfifo(at.c_str(), 0600) == 0; }},
#endif
        {"a file", [](const fs::path &at) { return bool(std::ofstream(at) << "planted"); }, true},
    };
    for (const auto &p : plants) {
        ScratchDrive drive;
        { std::ofstream("images/victim") << "precious"; }
        // At every name the output may take but a random one.
        std::vector<fs::path> at;
        for (int k = 0; k < publish_names::temp_slots; ++k)
            at.push_back(fs::path("images/d") / publish_names::temp_name("a.raw", k));
        if (!p.plant(at[0])) continue;
        for (std::size_t k = 1; k < at.size(); ++k)
            p.plant(at[k]);
        const auto planted = fs::symlink_status(at[0]).type();
        OutFile out;
        ASSERT_TRUE(out.open(drive.dos("images/d/a.raw"))) << p.what << ": " << out.error();
        out.write("new", 3);
        ASSERT_TRUE(out.commit()) << p.what;
        EXPECT_EQ(slurp("images/d/a.raw"), "new") << p.what;
        EXPECT_EQ(fs::symlink_status("images/d/a.raw").type(), fs::file_type::regular) << p.what;
        EXPECT_EQ(slurp("images/victim"), "precious") << p.what;
        // A plain file nobody holds at a run's temporary name is taken for a
        // dead run's leftover and reclaimed; anything else stays as planted.
        for (const fs::path &name : at)
            EXPECT_EQ(fs::symlink_status(name).type(),
                      p.reclaimed ? fs::file_type::not_found : planted)
                << p.what;
    }
}

// Two runs of one process id (in two containers sharing a volume) are two
// writers in one process here: neither ever writes into the other's file.
TEST(OutFile, TwoWritersOfOneNameNeverShareAFile) {
    ScratchDrive drive;
    OutFile first, second;
    ASSERT_TRUE(first.open(drive.dos("images/d/a.asc")));
    ASSERT_TRUE(second.open(drive.dos("images/d/a.asc")));
    first.write_text("ncols 10\n");
    second.write_text("ncols 2\n");
    first.write_text("0.000000\t");
    ASSERT_TRUE(first.commit());
    EXPECT_EQ(slurp("images/d/a.asc"), "ncols 10\r\n0.000000\t");
    second.write_text("1.000000\t");
    ASSERT_TRUE(second.commit());
    EXPECT_EQ(slurp("images/d/a.asc"), "ncols 2\r\n1.000000\t");
    EXPECT_EQ(std::distance(fs::directory_iterator("images/d"), fs::directory_iterator{}), 1);
}

#ifndef _WIN32
TEST(OutFile, AReplacedOutputKeepsItsPermissionBitsANewOneTakesTheUmask) {
    const mode_t mask = umask(022);
    umask(mask);
    for (int older : {0640, 0600, 0444, -1}) {
        ScratchDrive drive;
        if (older >= 0) {
            std::ofstream("images/d/a.raw") << "older";
            chmod("images/d/a.raw", static_cast<mode_t>(older));
        }
        OutFile out;
        ASSERT_TRUE(out.open(drive.dos("images/d/a.raw")));
        out.write("new", 3);
        ASSERT_TRUE(out.commit()) << out.error();
        struct stat st {};
        ASSERT_EQ(stat("images/d/a.raw", &st), 0);
        EXPECT_EQ(st.st_mode & 07777, older >= 0 ? static_cast<mode_t>(older) : 0666 & ~mask)
            << std::oct << older;
    }
}
#endif

// Every call through the host seam of a two-file publish over older files,
// failing in turn: the publish either succeeds whole or leaves both older files.
TEST(HostSeam, EveryCallOfAPublishFailingInTurnEndsWholeOrAsBefore) {
    static int calls = 0, failing = 0;
    static host::Fault fault = host::Fault::io;
    host::fault_hook = [](const char *) { return ++calls == failing ? fault : host::Fault::none; };
    const auto publish = [](const ScratchDrive &drive) {
        { std::ofstream("images/d/a.raw") << "older raster"; }
        { std::ofstream("images/d/a.txt") << "older descriptor"; }
        OutFile raster, descriptor;
        calls = 0;
        const bool opened = raster.open(drive.dos("images/d/a.raw")) &&
                            descriptor.open(drive.dos("images/d/a.txt"));
        raster.write("new raster", 10);
        descriptor.write("new descriptor", 14);
        const OutFile *failed = nullptr;
        return opened && commit_outputs({&raster, &descriptor}, &failed);
    };
    int clean_calls = 0;
    {
        ScratchDrive drive;
        failing = 0;
        ASSERT_TRUE(publish(drive));
        clean_calls = calls;
    }
    EXPECT_GT(clean_calls, 10);
    for (host::Fault f : {host::Fault::io, host::Fault::no_space, host::Fault::denied}) {
        fault = f;
        for (failing = 1; failing <= clean_calls; ++failing) {
            ScratchDrive drive;
            const bool ok = publish(drive);
            const std::string what = "call " + std::to_string(failing) + " failing";
            EXPECT_EQ(slurp("images/d/a.raw"), ok ? "new raster" : "older raster") << what;
            EXPECT_EQ(slurp("images/d/a.txt"), ok ? "new descriptor" : "older descriptor") << what;
            EXPECT_EQ(std::distance(fs::directory_iterator("images/d"), fs::directory_iterator{}),
                      2)
                << what;
        }
    }
    host::fault_hook = nullptr;
}
