// What a run does to the output file: a failed, killed or concurrent run
// loses nothing and leaves nothing behind; a good one replaces the output
// whole, keeping its mode and its links.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "gif_decode.h"
#include "gif_writer.h"
#include "program.h"

namespace {

using testgif::bytes;

bytes clip(int w, int h, unsigned seed) {
    return testgif::gif_builder().header(w, h, testgif::palette(256, seed)).image(testgif::picture(w, h, 256, seed))
        .image(testgif::picture(w, h, 256, seed + 1)).trailer().data();
}

// The names in dir, but for the files the test's runs use.
std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    while (const dirent* e = d ? readdir(d) : nullptr) {
        std::string n = e->d_name;
        if (n != "." && n != ".." && n != "run.sh" && n != "console.txt" && n != "stderr.txt") names.push_back(n);
    }
    if (d) closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

class output_file : public program_test {
protected:
    void SetUp() override {
        program_test::SetUp();
        testgif::write_file(dir + "/a.gif", clip(6, 5, 1));
        testgif::write_file(dir + "/big.gif", clip(120, 100, 7));  // some 24 KB
        testgif::write_file(dir + "/text.txt", bytes{'n', 'o'});
        old = clip(3, 3, 9);
        for (const char* name : {"out.gif", "reel.gif"}) testgif::write_file(dir + "/" + name, old);
        before = entries(dir);
    }

    // The outputs are as they were, and no other file appeared.
    void expect_untouched() {
        for (const char* name : {"out.gif", "reel.gif"}) EXPECT_EQ(testgif::read_file(dir + "/" + name), old) << name;
        EXPECT_EQ(entries(dir), before);
    }

    pid_t start(const std::vector<std::string>& args) { return start_program(dir, args); }

    bytes old;
    std::vector<std::string> before;
};

struct failing_run {
    const char* name;
    const char* args;
    const char* errors;
    const char* setup;
};
void PrintTo(const failing_run& r, std::ostream* os) { *os << r.name; }

class failing_runs : public output_file, public ::testing::WithParamInterface<failing_run> {};

TEST_P(failing_runs, keep_the_old_output) {
    const failing_run& r = GetParam();
    EXPECT_EQ(run_program(dir, r.args, console, r.errors, r.setup), 1);
    expect_untouched();
}

INSTANTIATE_TEST_SUITE_P(
    cases, failing_runs,
    ::testing::Values(
        failing_run{"no_names", "", "reeljoin: no input files; try 'reeljoin --help'\n", ""},
        failing_run{"lone_option_as_name", "-o reel.gif -s", "reeljoin: '-s' is taken as a file name here; options go before the first file\n", ""},
        failing_run{"missing_inputs", "-o reel.gif gone1.gif gone2.gif", "", ""},
        failing_run{"no_gif_among_them", "-o reel.gif text.txt gone.gif", "", ""},
        failing_run{"unknown_option", "--bogus -o reel.gif a.gif", "", ""},
        // A file-size limit of 8 KiB stands for a full disk; with SIGXFSZ
        // ignored the write fails instead of ending the process.
        failing_run{"full_disk", "-s -o reel.gif big.gif a.gif", "", "ulimit -f 8; trap '' XFSZ"},
        failing_run{"full_disk_default_output", "-s big.gif a.gif", "", "ulimit -f 8; trap '' XFSZ"}),
    [](const auto& info) { return std::string(info.param.name); });

// A run that stops at an input still arriving, killed by each signal: the
// old output stays and the new file goes.
TEST_F(output_file, killed_run_keeps_the_old_output) {
    ASSERT_EQ(mkfifo((dir + "/stall.gif").c_str(), 0644), 0);
    before = entries(dir);
    bytes half = clip(6, 5, 3);
    half.resize(half.size() / 2);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        // Open before the program starts, so that it finds a writer (a FIFO
        // without one reads as empty) and waits for what is written.
        int feed = open((dir + "/stall.gif").c_str(), O_RDWR);
        ASSERT_GE(feed, 0);
        pid_t pid = start({"-s", "-o", "reel.gif", "big.gif", "stall.gif", "a.gif"});
        ASSERT_EQ(write(feed, half.data(), half.size()), static_cast<ssize_t>(half.size()));
        // The program has read big.gif and waits on the rest of stall.gif.
        while (entries(dir).size() == before.size()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(kill(pid, sig), 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        close(feed);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        expect_untouched();
    }
}

// A good run replaces the output: its permission bits stay; a link stays
// a link, absolute or relative, and the file it leads to gets the join,
// also where that file does not exist yet.
TEST_F(output_file, good_run_keeps_mode_and_links) {
    std::string console;
    ASSERT_EQ(run_program(dir, "-s -o plain.gif a.gif big.gif", console), 0);
    const bytes join = testgif::read_file(dir + "/plain.gif");
    ASSERT_EQ(chmod((dir + "/reel.gif").c_str(), 0640), 0);
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    testgif::write_file(dir + "/sub/target.gif", old);
    ASSERT_EQ(symlink((dir + "/sub/target.gif").c_str(), (dir + "/absolute.gif").c_str()), 0);
    ASSERT_EQ(symlink("sub/target.gif", (dir + "/relative.gif").c_str()), 0);
    ASSERT_EQ(symlink("sub/new.gif", (dir + "/dangling.gif").c_str()), 0);
    before = entries(dir);
    for (const char* out : {"reel.gif", "absolute.gif", "relative.gif", "dangling.gif"}) {
        SCOPED_TRACE(out);
        testgif::write_file(dir + "/sub/target.gif", old);
        EXPECT_EQ(run(std::string("-s -o ") + out + " a.gif big.gif"), 0);
        EXPECT_EQ(testgif::read_file(dir + "/" + out), join);
    }
    struct stat st;
    ASSERT_EQ(stat((dir + "/reel.gif").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    for (const char* link : {"absolute.gif", "relative.gif", "dangling.gif"}) {
        ASSERT_EQ(lstat((dir + "/" + link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    before.push_back("sub/new.gif");  // made through the dangling link, in sub/
    std::vector<std::string> now = entries(dir), in_sub = entries(dir + "/sub");
    for (const std::string& n : in_sub) now.push_back("sub/" + n);
    std::sort(before.begin(), before.end());
    std::sort(now.begin(), now.end());
    now.erase(std::remove(now.begin(), now.end(), "sub/target.gif"), now.end());
    EXPECT_EQ(now, before);
}

// Where the output's directory takes no new file, a writable output is
// written directly, and a run that writes nothing leaves it as it was.
TEST_F(output_file, locked_directory_writes_the_output_directly) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into directories whatever their mode";
    std::string console, locked = dir + "/locked";
    ASSERT_EQ(run_program(dir, "-s -o plain.gif a.gif big.gif", console), 0);
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    testgif::write_file(locked + "/reel.gif", old);
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    EXPECT_EQ(run("-s -o locked/reel.gif gone.gif text.txt"), 1);
    EXPECT_EQ(testgif::read_file(locked + "/reel.gif"), old);
    EXPECT_EQ(run("-s -o locked/reel.gif a.gif big.gif"), 0);
    EXPECT_EQ(testgif::read_file(locked + "/reel.gif"), testgif::read_file(dir + "/plain.gif"));
    EXPECT_EQ(entries(locked), std::vector<std::string>{"reel.gif"});
    chmod(locked.c_str(), 0755);
}

// Runs into one output at once leave one whole join, one of theirs.
TEST_F(output_file, concurrent_runs_leave_one_whole_join) {
    std::vector<std::string> one = {"-s", "-o", "mine.gif"}, other = one;
    for (int i = 0; i < 40; ++i) {
        one.push_back("big.gif");
        other.push_back(i % 2 ? "a.gif" : "big.gif");
    }
    auto finish = [](pid_t pid) {
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    ASSERT_TRUE(finish(start(one)));
    const bytes first = testgif::read_file(dir + "/mine.gif");
    ASSERT_TRUE(finish(start(other)));
    const bytes second = testgif::read_file(dir + "/mine.gif");
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        pid_t a = start(one), b = start(other);
        EXPECT_TRUE(finish(a) && finish(b));
        bytes got = testgif::read_file(dir + "/mine.gif");
        EXPECT_TRUE(got == first || got == second) << got.size() << " bytes";
    }
    std::vector<std::string> now = entries(dir);
    EXPECT_EQ(std::count_if(now.begin(), now.end(), [](const std::string& n) { return n[0] == '.'; }), 0);
}

}  // namespace
