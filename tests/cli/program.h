// Runs the built program in a scratch directory, as a user would from a
// shell, and reads back what it printed.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the program with args (split by bash) in dir and puts what it
// printed in console; standard error must hold `errors`. `setup` is shell
// text run first (limits, traps). A run that hangs
// is stopped after 10 seconds and reported as status 124.
inline int run_program(const std::string& dir, const std::string& args, std::string& console,
                       const std::string& errors = "", const std::string& setup = "") {
    std::ofstream(dir + "/run.sh") << setup << "\nexec '" REELJOIN_BIN "' " << args << "\n";
    std::string cmd = "cd '" + dir + "' && timeout 10 bash run.sh >console.txt 2>stderr.txt";
    int status = std::system(cmd.c_str());
    console = read_text(dir + "/console.txt");
    EXPECT_EQ(read_text(dir + "/stderr.txt"), errors);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the program with args in dir, its standard output on /dev/null,
// and returns its process id without waiting for it.
inline pid_t start_program(const std::string& dir, const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        std::vector<char*> argv = {const_cast<char*>(REELJOIN_BIN)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execv(REELJOIN_BIN, argv.data());
        _exit(127);
    }
    return pid;
}

// A test that runs the program in a scratch directory of its own.
class program_test : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/reeljoin_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    int run(const std::string& args, const std::string& errors = "") { return run_program(dir, args, console, errors); }

    std::string dir, console;
};
