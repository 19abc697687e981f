// Runs beside other users: a journal left in a folder speaks only for what its
// run's user could have done there, and copies and outputs never widen access.
#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.hpp"
#include "platform/publish_names.hpp"

namespace {
constexpr unsigned victim = 65533, neighbour = 65534;
const std::string folder = "images/d/";

void own(const Workdir &w, const std::string &rel, unsigned user, mode_t mode = 0644) {
    const std::string path = w.root() + "/c/" + rel;
    ASSERT_EQ(chown(path.c_str(), user, user == 0 ? 0 : 65534), 0) << rel;
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << rel;
}

std::map<std::string, std::string> contents(const Workdir &w) {
    std::map<std::string, std::string> files;
    for (const std::string &name : w.files())
        files[name] = w.read(name);
    return files;
}

std::string journal(const std::string &final_name) {
    return publish_names::journal_of(final_name);
}

std::string temp(const std::string &final_name) {
    return publish_names::temp_name(final_name, 0);
}

std::string copy(const std::string &final_name) {
    return publish_names::copy_name(journal(final_name), 0);
}

bool skip_two_users() {
    return under_wine() || under_launcher() || getuid() != 0;
}

const std::string pair_raw = u16le({0, 512, 730, 0, 498, 1204});
const std::string pair_txt = "2\r\n3\r\n2\r\n0\r\n1204\r\n25\r\n";
} // namespace

// A neighbour who may only create files in a sticky folder (mode 1777) plants
// a journal at the name of one of the victim's sets: the victim's runs change
// none of the victim's files, and fail only where they need that set, naming it.
TEST(Mending, AJournalPlantedInAStickyFolderChangesNoneOfTheVictimsFiles) {
    if (skip_two_users()) GTEST_SKIP() << "needs root, to run as two users";
    const std::string head = "groundzero publish 2\n", end = "end\n";
    const struct {
        const char *what;
        std::string set, text;
        std::string planted = {}; // a file of the neighbour's beside it
    } plants[] = {
        {"removing the victim's descriptor", "a_m2.txt",
         head + "replace\t" + temp("a_m2.txt") + "\ta_m2.txt\t-\t5\n" + end},
        {"renaming the neighbour's file over the victim's input", "a_m2.raw",
         head + "replace\t" + temp("a_m2.raw") + "\ta_m2.raw\t" + copy("a_m2.raw") + "\t3\n" + end,
         copy("a_m2.raw")},
        {"naming the neighbour's own file", "a_new_base_m2.raw",
         head + "remove\t-\ta_new_base_m2.hdr\t" + copy("a_new_base_m2.hdr") + "\t-\n" + end,
         "a_new_base_m2.hdr"},
        {"naming the folder itself", "a_m2.raw", head + "remove\t-\t.\t-\t-\n" + end},
        {"a journal of another program", "a_new_base_m2.raw", "groundzero publish 1\n"},
    };
    for (const auto &p : plants) {
        Workdir w;
        w.make_folder(folder);
        own(w, folder, 0, 01777);
        for (const char *dem : {"a", "b"}) {
            w.write(folder + dem + "_m2.raw", pair_raw);
            w.write(folder + dem + "_m2.txt", pair_txt);
        }
        w.write(folder + "a_new_base_m2.raw", "older raster");
        w.write(folder + "a_new_base_m2.txt", "older descriptor");
        for (const std::string &name : w.files())
            own(w, name, victim);
        w.write(folder + journal(p.set), p.text);
        own(w, folder + journal(p.set), neighbour);
        w.write(folder + "groundzero-notes.journal", "the neighbour's notes");
        own(w, folder + "groundzero-notes.journal", neighbour);
        if (!p.planted.empty()) {
            w.write(folder + p.planted, "the neighbour's");
            own(w, folder + p.planted, neighbour);
        }
        const auto before = contents(w);
        RunLimits as_victim;
        as_victim.unprivileged = true;
        as_victim.user = victim;
        const RunResult a = w.run("d a 1 0 2 0 0 1 0 2\n", as_victim);
        EXPECT_EQ(a.status, 1) << p.what << "\n" << a.err;
        EXPECT_NE(a.err.find("c:\\images\\d\\" + journal(p.set) + " holds it"), std::string::npos)
            << p.what << "\n"
            << a.err;
        const RunResult b = w.run("d b 1 0 2 0 0 1 0 2\n", as_victim);
        EXPECT_EQ(b.status, 0) << p.what << "\n" << b.err;
        auto after = contents(w);
        for (const char *made : {"b_new_base_m2.raw", "b_new_base_m2.txt", "b_new_base_m2.hdr"})
            EXPECT_EQ(after.erase(folder + made), 1u) << p.what << ": " << made;
        EXPECT_EQ(after, before) << p.what;
    }
}

// Root replacing a squatter's set-user-id program, where links are refused
// (a copy is kept instead), leaves no set-id file and no file of a group root
// isn't in: neither the copy, killed midway, nor the output.
TEST(Mending, RootOverASquattersSetuidFileLeavesNoSetIdFileNorTheSquattersGroup) {
    if (skip_two_users() || std::system("strace -V > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root and strace";
    Workdir w;
    w.make_folder(folder);
    own(w, folder, 0, 01777);
    w.write(folder + "a_m2.raw", pair_raw);
    w.write(folder + "a_m2.txt", pair_txt);
    w.write(folder + "a_new_base_m2.raw", "#!/bin/sh\nid\n");
    own(w, folder + "a_new_base_m2.raw", neighbour, 06775);
    RunLimits no_links;
    no_links.wrapper = {"strace", "-qq", "-o", "/dev/null", "-e", "inject=link:error=EMLINK"};
    RunLimits killed = no_links;
    killed.wrapper.insert(killed.wrapper.end(), {"-e", "inject=rename:signal=KILL:when=1"});
    for (const RunLimits *run : {&killed, &no_links}) {
        const RunLimits &limits = *run;
        const RunResult r = w.run("d a 1 0 2 0 0 1 0 2\n", limits);
        int copies = 0;
        for (const std::string &name : w.files()) {
            struct stat st {};
            ASSERT_EQ(lstat((w.root() + "/c/" + name).c_str(), &st), 0);
            if (st.st_uid != 0) continue; // the squatter's own
            copies += name.find(".old") != std::string::npos;
            EXPECT_EQ(st.st_mode & 07000, 0u) << name << "\n" << r.err;
            EXPECT_EQ(st.st_gid, 0u) << name;
        }
        EXPECT_EQ(copies, run == &killed ? 1 : 0);
    }
    EXPECT_EQ(w.read(folder + "a_new_base_m2.raw").find("#!"), std::string::npos);
}

// A team folder (mode 0777) where members keep a private umask: a run dies
// with its raster renamed and its descriptor not; a colleague's run puts the
// older pair back whole, from a journal it can read.
TEST(Mending, AColleagueAfterARunThatDiedWithAPrivateUmaskPutsTheOlderPairBack) {
    if (skip_two_users() || std::system("strace -V > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root and strace";
    Workdir w;
    w.make_folder(folder);
    own(w, folder, 0, 0777);
    w.write(folder + "a_m2.raw", pair_raw);
    w.write(folder + "a_m2.txt", pair_txt);
    RunLimits colleague;
    colleague.unprivileged = true;
    ASSERT_EQ(w.run("d a 1 0 2 0 0 1 0 0\n", colleague).status, 0); // the older set, in metres
    const auto older = contents(w);
    RunLimits dying = colleague;
    dying.user = victim;
    dying.umask = 077;
    dying.wrapper = {"strace", "-qq", "-o", "/dev/null", "-e", "inject=rename:signal=KILL:when=2"};
    EXPECT_EQ(w.run("d a 1 0 2 0 0 1 0 2\n", dying).signal, SIGKILL);
    const RunResult reader = w.run("d a_new_base 1 0 0 1\n", colleague);
    EXPECT_EQ(reader.status, 0) << reader.err;
    EXPECT_EQ(contents(w), older);
}
