// Joins with the installed library as a program of its own would, and
// compares with what the reeljoin program gives for the same join: files
// and bytes in, bytes and a file out, with other settings one after
// another, and in two threads at once. Prints what differs; exits 0 when
// nothing does.
#include <reeljoin/join.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct variant {
    const char* options;
    reeljoin::settings settings;
};

std::vector<variant> variants() {
    variant plain{"", {}}, clips{"--keep-delays --center --compact", {}}, slow{"-d 7 -e 300 --no-loop", {}};
    clips.settings.keep_delays = clips.settings.center = clips.settings.compact = true;
    slow.settings.delay = 7;
    slow.settings.last_delay = 300;
    slow.settings.no_loop = true;
    return {plain, clips, slow};
}

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (ok) return;
    std::printf("differs: %s\n", what.c_str());
    ++failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: consumer PROGRAM DIR FIRST.gif SECOND.gif\n");
        return 2;
    }
    std::string program = argv[1], dir = argv[2], first = argv[3], second = argv[4];
    std::vector<variant> all = variants();
    std::vector<bytes> expected;
    for (const variant& v : all) {
        std::string command = program + " -s " + v.options + " -o " + dir + "/expected.gif " + first + " " + second;
        expect(std::system(command.c_str()) == 0, command);
        expected.push_back(read_file(dir + "/expected.gif"));
    }
    auto inputs = [&] { return std::vector<reeljoin::input>{reeljoin::input::file(first),
                                                            reeljoin::input::bytes(read_file(second), second)}; };
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < all.size(); ++i) {
            bytes into;
            reeljoin::report r = reeljoin::join(inputs(), reeljoin::output::bytes(into), all[i].settings);
            expect(r.written && into == expected[i], std::string("bytes out, ") + all[i].options);
            r = reeljoin::join(inputs(), reeljoin::output::file(dir + "/library.gif"), all[i].settings);
            expect(r.written && read_file(dir + "/library.gif") == expected[i], std::string("file out, ") + all[i].options);
        }
    int wrong[2] = {0, 0};
    auto many = [&](int t) {
        for (int k = 0; k < 20; ++k) {
            std::size_t i = static_cast<std::size_t>(k + t) % all.size();
            bytes into;
            wrong[t] += !reeljoin::join(inputs(), reeljoin::output::bytes(into), all[i].settings).written || into != expected[i];
        }
    };
    std::thread one(many, 0), other(many, 1);
    one.join();
    other.join();
    expect(wrong[0] + wrong[1] == 0, std::to_string(wrong[0] + wrong[1]) + " of 40 joins in two threads");
    bytes none;
    reeljoin::report missing = reeljoin::join({reeljoin::input::file(dir + "/missing.gif")}, reeljoin::output::bytes(none));
    expect(!missing.written && missing.cause == reeljoin::failure::nothing_exists, "a join of nothing that exists");
    if (failures == 0) std::printf("ok: %zu settings, files and bytes, two threads\n", all.size());
    return failures ? 1 : 0;
}
