// Runs on volumes unlike the machine's own disk: exFAT and FAT32 volumes (no
// hard links, no replacing-free rename, no modes on FAT), and a folder a team
// shares, where the outputs being replaced belong to another user.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {
struct VolumeRun {
    const char *name;
    std::function<void(const Workdir &)> setup;
    std::string answers;
};

const VolumeRun volume_runs[] = {
    {"replacing older outputs",
     [](const Workdir &w) {
         w.write("images/d/a_m2.raw", u16le({0, 512, 730, 0, 498, 1204}));
         w.write("images/d/a_m2.txt", "2\r\n3\r\n2\r\n0\r\n1204\r\n25\r\n");
         w.write("images/d/a_new_base_m2.raw", "older raster");
         w.write("images/d/a_new_base_m2.txt", "older descriptor");
     },
     "d a 1 0 2 0 0 1 0 2\n"},
    {"creating the input's descriptor",
     [](const Workdir &w) {
         w.write("images/d/a_m4.raw", i32le({0, -5, 7000, 9000, 0, 61}));
     },
     "d a 1 1 2 3 0.5 25 3 0 0 1 1 3\n"},
    {"writing an output over its own input",
     [](const Workdir &w) {
         w.write("images/d/b_new_base_m4.raw", i32le({0, -5, 7000, 9000, 0, 61}));
         w.write("images/d/b_new_base_m4.txt", "2\r\n3\r\n4\r\n-5\r\n9000\r\n25\r\n");
     },
     "d b_new_base 1 1 3 0 1 b 1 1 3\n"},
};

std::string contents(const Workdir &w) {
    std::string s;
    for (const std::string &name : w.files())
        s += name + "\n" + w.read(name) + "\n";
    return s;
}

bool shell(const std::string &command) {
    return std::system(("{ " + command + "; } > /dev/null 2>&1").c_str()) == 0;
}

// How to make and mount a volume of one kind through FUSE: the tools it
// needs, and the commands, with IMAGE and MOUNT standing for its paths.
struct VolumeKind {
    const char *name, *tools, *make, *mount;
};

const VolumeKind volume_kinds[] = {
    {"exFAT", "mkfs.exfat mount.exfat-fuse losetup", "mkfs.exfat IMAGE",
     "mount.exfat-fuse \"$(losetup -f --show IMAGE)\" MOUNT"},
    {"FAT32", "mkfs.fat fusefat", "mkfs.fat -F 32 IMAGE", "fusefat -o rw+ IMAGE MOUNT"},
};

std::string with_paths(std::string command, const std::string &image, const std::string &mount) {
    for (auto [word, path] : {std::pair{"IMAGE", image}, std::pair{"MOUNT", mount}})
        for (std::size_t at; (at = command.find(word)) != std::string::npos;)
            command.replace(at, std::string(word).size(), path);
    return command;
}

// A fresh volume of one kind in an image file, mounted through FUSE, for one test.
class ScratchVolume {
  public:
    explicit ScratchVolume(const VolumeKind &kind) {
        if (getuid() != 0) {
            why_not_ = "needs root to mount a volume";
            return;
        }
        std::string needed = "true", tool;
        for (std::istringstream tools(kind.tools); tools >> tool;)
            needed += " && command -v " + tool;
        if (!shell(needed) || !fs::exists("/dev/fuse")) {
            why_not_ = std::string("needs ") + kind.tools + " and FUSE (/dev/fuse)";
            return;
        }
        std::string tmpl = (fs::temp_directory_path() / "gzvolume.XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) return;
        base_ = tmpl;
        const std::string image = base_ + "/volume.img", mount = base_ + "/mnt";
        fs::create_directory(mount);
        if (!shell("truncate -s 64M " + image + " && " + with_paths(kind.make, image, mount)) ||
            !shell(with_paths(kind.mount, image, mount))) {
            why_not_ = std::string("could not make and mount a ") + kind.name +
                       " volume here (loop devices or FUSE refused)";
            return;
        }
        mounted_ = mount;
    }
    ~ScratchVolume() {
        if (!mounted_.empty()) shell("umount " + mounted_);
        if (!base_.empty()) {
            shell("losetup -j " + base_ + "/volume.img | cut -d: -f1 | xargs -r losetup -d");
            std::error_code ec;
            fs::remove_all(base_, ec);
        }
    }
    const std::string &why_not() const { return why_not_; }
    const std::string &mounted() const { return mounted_; }

  private:
    std::string base_, mounted_, why_not_ = "could not make a scratch folder";
};
} // namespace

// Texts, statuses and files on exFAT and FAT32 are those of the same runs on
// the machine's own disk, the older outputs replaced, descriptors created.
TEST(Volume, RunsOnExfatAndFat32VolumesEndAsOnTheLocalDisk) {
    if (under_wine() || under_launcher()) GTEST_SKIP() << "mounts a Linux volume";
    std::string skipped;
    for (const VolumeKind &kind : volume_kinds) {
        ScratchVolume volume(kind);
        if (volume.mounted().empty()) {
            skipped += std::string(kind.name) + ": " + volume.why_not() + "; ";
            continue;
        }
        for (const VolumeRun &run : volume_runs) {
            const std::string what = std::string(kind.name) + ", " + run.name;
            Workdir local;
            setenv("TMPDIR", volume.mounted().c_str(), 1);
            Workdir there;
            unsetenv("TMPDIR");
            ASSERT_EQ(there.root().rfind(volume.mounted(), 0), 0u);
            run.setup(local);
            run.setup(there);
            const RunResult expected = local.run(run.answers), r = there.run(run.answers);
            EXPECT_EQ(expected.status, 0) << what << "\n" << expected.err;
            EXPECT_EQ(r.status, expected.status) << what << "\n" << r.err;
            EXPECT_EQ(r.out, expected.out) << what;
            EXPECT_EQ(r.err, expected.err) << what;
            EXPECT_EQ(contents(there), contents(local)) << what;
        }
    }
    if (skipped.size() > 0) std::cout << "skipped: " << skipped << "\n";
    if (skipped.size() > 0 && skipped.find("FAT32") != skipped.npos &&
        skipped.find("exFAT") != skipped.npos)
        GTEST_SKIP() << skipped;
}

// In a folder the team may write, a colleague's run replaces your outputs as
// mv would, though the system forbids linking to them (protected_hardlinks).
TEST(Volume, ASecondUserReplacesTheFirstUsersOutputsInASharedFolder) {
    if (under_wine() || under_launcher() || getuid() != 0)
        GTEST_SKIP() << "needs root, to run as two users";
    for (const VolumeRun &run : volume_runs) {
        Workdir shared, alone;
        run.setup(shared);
        run.setup(alone);
        const std::string folder = shared.root() + "/c/images/d";
        ASSERT_EQ(chown(folder.c_str(), 0, 65534), 0);
        ASSERT_EQ(chmod(folder.c_str(), 02777), 0);
        for (const std::string &name : shared.files())
            ASSERT_EQ(chown((shared.root() + "/c/" + name).c_str(), 0, 65534), 0);
        RunLimits first, second;
        first.unprivileged = second.unprivileged = true;
        first.user = 65533;
        ASSERT_EQ(shared.run(run.answers, first).status, 0) << run.name;
        const RunResult r = shared.run(run.answers, second);
        alone.run(run.answers);
        const RunResult expected = alone.run(run.answers);
        EXPECT_EQ(r.status, 0) << run.name << "\n" << r.err;
        EXPECT_EQ(r.out, expected.out) << run.name;
        EXPECT_EQ(contents(shared), contents(alone)) << run.name;
    }
}
