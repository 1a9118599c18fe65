// The program in a pipe: -o - writes to standard output and - reads
// standard input, giving byte for byte what files give, messages on
// standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "gif_writer.h"
#include "program.h"

namespace {

using testgif::bytes;

class pipes : public program_test {
protected:
    void SetUp() override {
        program_test::SetUp();
        auto clip = [](int w, int h, unsigned seed) {
            return testgif::gif_builder().header(w, h, testgif::palette(256, seed)).image(testgif::picture(w, h, 256, seed))
                .image(testgif::picture(w / 2, h / 2, 256, seed + 1)).trailer().data();
        };
        testgif::write_file(dir + "/small.gif", clip(40, 30, 1));
        // Frames of some 400 KB: more than the output's buffer holds back.
        bytes large = clip(700, 560, 3);
        testgif::write_file(dir + "/large.gif", large);
        large.resize(large.size() * 2 / 5);  // cut inside its first frame, which is completed
        testgif::write_file(dir + "/cut.gif", large);
        testgif::write_file(dir + "/still.gif", testgif::gif_builder().header(700, 560, testgif::palette(256, 5))
                                                     .image(testgif::picture(700, 560, 256, 5)).trailer().data());
    }

    int shell(const std::string& command) {
        int status = std::system(("cd '" + dir + "' && " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bytes file(const char* name) { return testgif::read_file(dir + "/" + name); }
};

// Every mode, the standard input standing for each kind of file: the pipe
// gets the file's bytes, and the messages go to standard error.
TEST_F(pipes, give_what_files_give_in_every_mode) {
    const char* modes[] = {"", "-d 7 -e 9", "--keep-delays --center", "--fit", "--compact", "--keep-delays --fit --compact",
                           "--no-loop"};
    const char* piped[] = {"small.gif", "large.gif", "cut.gif"};
    for (const char* mode : modes) {
        for (const char* in : piped) {
            SCOPED_TRACE(std::string(mode) + " with " + in + " piped");
            std::string names = std::string(" small.gif ") + in + " large.gif cut.gif";
            std::string listed = std::string(" small.gif - large.gif cut.gif");
            ASSERT_EQ(shell(REELJOIN_BIN " " + std::string(mode) + " -o file.gif" + names + " >/dev/null"), 0);
            ASSERT_EQ(shell(std::string("cat ") + in + " | " REELJOIN_BIN " " + mode + " -o -" + listed +
                            " 2>pipe.txt | cat >pipe.gif"),
                      0);
            EXPECT_TRUE(file("pipe.gif") == file("file.gif"));
            bytes errors = file("pipe.txt");
            std::string lines(errors.begin(), errors.end()), messages;  // the warnings of larger files aside
            for (std::size_t at = 0, end; at < lines.size(); at = end + 1) {
                end = lines.find('\n', at);
                if (lines.compare(at, 10, "reeljoin: ") != 0) messages += lines.substr(at, end + 1 - at);
            }
            EXPECT_EQ(messages,
                      "Processing: small.gif\nProcessing: -\nProcessing: large.gif\nProcessing: cut.gif\n");
        }
    }
    // A still alone, whose delay is set once its file has ended.
    ASSERT_EQ(shell(REELJOIN_BIN " -s -o file.gif still.gif"), 0);
    ASSERT_EQ(shell("cat still.gif | " REELJOIN_BIN " -s -o - - | cat >pipe.gif"), 0);
    EXPECT_TRUE(file("pipe.gif") == file("file.gif"));
}

// Standard output under another name is written as with -o -: the
// messages go to standard error.
TEST_F(pipes, standard_output_by_another_name) {
    ASSERT_EQ(shell(REELJOIN_BIN " -o file.gif small.gif gone.gif large.gif >/dev/null"), 0);
    ASSERT_EQ(shell(REELJOIN_BIN " -o /dev/stdout small.gif gone.gif large.gif >named.gif 2>errors.txt"), 0);
    EXPECT_TRUE(file("named.gif") == file("file.gif"));
    bytes errors = file("errors.txt");
    EXPECT_EQ(std::string(errors.begin(), errors.end()).substr(0, 78),
              "Processing: small.gif\nUnable to open GIF file: gone.gif\nProcessing: large.gif\n");
}

// Standard input is read once; ./- is a file of that name.
TEST_F(pipes, standard_input_once) {
    ASSERT_EQ(shell("cp small.gif ./- && cat large.gif | " REELJOIN_BIN " -o out.gif - ./- - >console.txt"), 0);
    bytes console = file("console.txt");
    EXPECT_EQ(std::string(console.begin(), console.end()),
              "Processing: -\nProcessing: ./-\nUnable to open GIF file: -\n");
    // The second - fails as a third file that exists and cannot be read.
    ASSERT_EQ(shell("mkdir unreadable && " REELJOIN_BIN " -s -o file.gif large.gif small.gif unreadable"), 0);
    EXPECT_TRUE(file("out.gif") == file("file.gif"));
}

// -o - refuses a terminal, and writes nothing to it.
TEST_F(pipes, a_terminal_is_refused) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    pid_t pid = fork();
    if (pid == 0) {
        int slave = open(ptsname(master), O_RDWR);
        dup2(slave, STDOUT_FILENO);
        int errors = open((dir + "/errors.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(errors, STDERR_FILENO);
        if (chdir(dir.c_str()) != 0) _exit(127);
        execl(REELJOIN_BIN, REELJOIN_BIN, "-o", "-", "small.gif", "large.gif", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    char buf[64];
    EXPECT_LE(read(master, buf, sizeof buf), 0);  // nothing reached the terminal
    close(master);
    bytes errors = file("errors.txt");
    EXPECT_EQ(std::string(errors.begin(), errors.end()),
              "reeljoin: standard output is a terminal; redirect it, or name a file with -o\n");
}

}  // namespace
