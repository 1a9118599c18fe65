// The built program, run in a scratch directory: console text, exit status
// and the file it leaves, read back by an independent decoder.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "gif_decode.h"
#include "gif_scan.h"
#include "program.h"

namespace {

using testgif::bytes;

const std::string usage =
    "reeljoin: Concatenates GIF files into an animated GIF\n"
    "   syntax: reeljoin [options] file1 file2 ...\n"
    "   options:\n"
    "      -s           - Silent mode\n"
    "      -o filename  - Output filename (default out.gif)\n"
    "      -d delay     - Frame delay in .01 sec (default 20)\n"
    "      -e delay     - Last frame delay in .01 sec (default 80)\n"
    "      file1 file2 ... - List of GIF files to include\n";
const std::string long_usage = usage +
    "      -h              - Print the usage text above\n"
    "      --keep-delays   - Each frame keeps its own delay instead of -d/-e\n"
    "      --fit           - Canvas fits every file; each file starts on a clear one\n"
    "      --center        - As --fit, with each file centred on the canvas\n"
    "      --compact       - No colour table for frames whose colours the global table holds\n"
    "      --loop=N        - Repeat N times after the first play (0: for ever)\n"
    "      --no-loop       - No looping: the animation plays once\n"
    "      --files-from=FILE - More file names from FILE, one a line (-: standard input)\n"
    "      --help          - Print this text\n"
    "      --version       - Print the program's name and version\n"
    "      --              - Ends the long options: the rest are file names\n";

bytes two_frames() {
    return testgif::gif_builder()
        .header(6, 5, testgif::palette(16, 1))
        .image(testgif::picture(6, 5, 16, 2))
        .image(testgif::picture(4, 4, 16, 3))
        .trailer()
        .data();
}

bytes one_frame(unsigned seed) {
    return testgif::gif_builder().header(6, 5, testgif::palette(16, seed)).image(testgif::picture(6, 5, 16, seed)).trailer().data();
}

class cli : public program_test {
protected:
    void SetUp() override {
        program_test::SetUp();
        testgif::write_file(dir + "/a.gif", two_frames());
        testgif::write_file(dir + "/b.gif", one_frame(4));
        testgif::write_file(dir + "/c.gif", one_frame(5));
        std::ofstream(dir + "/text.txt") << "not an image\n";
        ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
        ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
        testgif::write_file(dir + "/c c.gif", one_frame(6));
        std::ofstream(dir + "/list.txt") << "b.gif\n\nc c.gif\n";
        std::ofstream(dir + "/crlf.txt") << "a.gif\r\nb.gif\r\n";
        std::ofstream(dir + "/selecting.txt") << "a.gif\n#-1\r\nb.gif\n#0\n";
        std::ofstream(dir + "/selecting_first.txt") << "#0\nb.gif\n";
        testgif::write_file(dir + "/#1", one_frame(8));
        testgif::write_file(dir + "/tiny.gif", testgif::gif_builder().header(3, 3, testgif::palette(4, 7))
                                                  .image(testgif::picture(3, 3, 4, 7)).trailer().data());
    }
};

struct run_case {
    const char* name;
    const char* args;
    std::string console;
    int status;
    const char* output;        // the file the run leaves
    std::vector<int> delays;   // its frames' delays; empty: the file is empty
    int loop_count;
    const char* errors = "";   // on standard error
};
void PrintTo(const run_case& c, std::ostream* os) { *os << c.name; }

constexpr const char* none = nullptr;  // no output file at all

class cli_runs : public cli, public ::testing::WithParamInterface<run_case> {};

TEST_P(cli_runs, console_status_and_output) {
    const run_case& c = GetParam();
    EXPECT_EQ(run(c.args, c.errors), c.status);
    EXPECT_EQ(console, c.console);
    std::string out = dir + "/" + (c.output ? c.output : "out.gif");
    if (!c.output) {
        EXPECT_NE(access(out.c_str(), F_OK), 0);
        return;
    }
    bytes file = testgif::read_file(out);
    if (c.delays.empty()) {
        EXPECT_TRUE(file.empty());
        return;
    }
    testgif::decoded d = testgif::decode_gif(file);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.loop_count, c.loop_count);
    std::vector<int> delays;
    for (const auto& f : d.frames) delays.push_back(f.delay);
    EXPECT_EQ(delays, c.delays);
}

const std::string pa = "Processing: a.gif\n", pb = "Processing: b.gif\n", pc = "Processing: c.gif\n",
                  pt = "Processing: text.txt\n", not_gif = "Not a GIF file\n";

INSTANTIATE_TEST_SUITE_P(
    runs, cli_runs,
    ::testing::Values(
        run_case{"no_arguments", "", "", 1, none, {}, -1, "reeljoin: no input files; try 'reeljoin --help'\n"},
        run_case{"help", "-h", usage, 0, none, {}, -1},
        run_case{"help_after_options", "-s -h a.gif", usage, 0, none, {}, -1},
        run_case{"help_after_a_name_is_a_name", "a.gif -h", pa + "Unable to open GIF file: -h\n", 0, "out.gif", {20, 20}, -1, "reeljoin: '-h' is taken as a file name here; options go before the first file\n"},
        run_case{"three_files", "-d 10 -e 300 a.gif b.gif c.gif", pa + pb + pc, 0, "out.gif", {10, 10, 10, 300}, 0},
        run_case{"silent", "-s -o x.gif a.gif b.gif", "", 0, "x.gif", {20, 20, 80}, 0},
        run_case{"trailing_option_is_a_name", "a.gif b.gif -s", pa + pb + "Unable to open GIF file: -s\n", 0, "out.gif", {20, 20, 80}, 0, "reeljoin: '-s' is taken as a file name here; options go before the first file\n"},
        run_case{"lone_trailing_option", "-o x.gif -s", "Unable to open GIF file: -s\n", 1, none, {}, -1, "reeljoin: '-s' is taken as a file name here; options go before the first file\n"},
        run_case{"option_after_the_first_name", "-s a.gif -o reel.gif", "Unable to open GIF file: -o\nUnable to open GIF file: reel.gif\n", 0, "out.gif", {20, 20}, -1,
                 "reeljoin: '-o' is taken as a file name here; options go before the first file\n"},
        run_case{"numbers_read_like_scanf", "-s -d 12abc -e xyz a.gif b.gif", "", 0, "out.gif", {12, 12, 80}, 0},
        run_case{"option_value_taken_as_is", "-d -e 3 a.gif", "Unable to open GIF file: 3\n" + pa, 0, "out.gif", {20, 20}, -1},
        run_case{"first_not_a_gif", "text.txt a.gif", pt + not_gif + pa, 0, "out.gif", {20, 20}, 0},
        run_case{"middle_not_a_gif", "a.gif text.txt b.gif", pa + pt + not_gif + pb, 0, "out.gif", {20, 20, 20}, 0},
        run_case{"last_two_not_gifs", "a.gif text.txt text.txt", pa + pt + not_gif + pt + not_gif, 0, "out.gif", {20, 20}, 0},
        run_case{"single_existing_file", "-e 99 a.gif missing.gif", pa + "Unable to open GIF file: missing.gif\n", 0, "out.gif", {20, 20}, -1},
        run_case{"nothing_readable", "text.txt text.txt", pt + not_gif + pt + not_gif, 1, none, {}, -1},
        run_case{"nothing_exists", "missing.gif gone.gif", "Unable to open GIF file: missing.gif\nUnable to open GIF file: gone.gif\n", 1, none, {}, -1},
        run_case{"delay_below_zero", "-d -1 a.gif b.gif", "Invalid option value: -d -1\n", 1, none, {}, -1},
        run_case{"delay_above_16_bits", "-s -e 65536 a.gif b.gif", "Invalid option value: -e 65536\n", 1, none, {}, -1},
        run_case{"largest_delay", "-s -d 65535 a.gif b.gif", "", 0, "out.gif", {65535, 65535, 80}, 0},
        run_case{"larger_later_file", "tiny.gif a.gif", "Processing: tiny.gif\n" + pa, 0, "out.gif", {20, 80, 80}, 0,
                 "reeljoin: a.gif is 6x5, larger than the canvas (3x3); --fit or --center makes room for it\n"},
        run_case{"larger_later_file_silent", "-s tiny.gif a.gif", "", 0, "out.gif", {20, 80, 80}, 0},
        run_case{"windows_list", "-s --files-from=crlf.txt", "", 0, "out.gif", {20, 20, 80}, 0},
        run_case{"output_unopenable", "-o nodir/x.gif a.gif", "Unable to open output file: nodir/x.gif\n", 1, none, {}, -1},
        run_case{"output_unwritable", "-s -o /dev/full a.gif b.gif", "Unable to write output file: /dev/full\n", 1, none, {}, -1},
        run_case{"output_is_an_input", "-o ./b.gif a.gif b.gif", "Output file is also an input: ./b.gif\n", 1, "b.gif", {-1}, -1},
        run_case{"output_is_a_directory", "-o sub a.gif b.gif", "Unable to open output file: sub\n", 1, none, {}, -1},
        run_case{"output_in_unwritable_directory", "-o /proc/x.gif a.gif", "Unable to open output file: /proc/x.gif\n", 1, none, {}, -1},
        // Names that exist but are no regular files: each counts in the
        // census and fails on its own, so the next file takes its role.
        run_case{"input_is_a_directory", "-s sub a.gif", "Unable to open GIF file: sub\n", 0, "out.gif", {20, 20}, 0},
        run_case{"input_is_a_fifo_without_writer", "-s fifo a.gif", not_gif, 0, "out.gif", {20, 20}, 0},
        run_case{"input_is_a_device", "-s a.gif /dev/null", not_gif, 0, "out.gif", {20, 20}, 0},
        run_case{"input_is_a_pipe", "-s a.gif <(cat b.gif)", "", 0, "out.gif", {20, 20, 80}, 0},
        // Long options, anywhere before "--". a.gif is an animation
        // without delays of its own, b.gif and c.gif are stills.
        run_case{"keep_delays_after_the_names", "a.gif b.gif c.gif --keep-delays", pa + pb + pc, 0, "out.gif", {0, 0, 20, 80}, 0},
        run_case{"long_option_keeps_short_ones_open", "--keep-delays -s -e 9 a.gif b.gif", "", 0, "out.gif", {0, 0, 9}, 0},
        run_case{"help_after_a_long_option", "--keep-delays -h", usage, 0, none, {}, -1},
        run_case{"double_dash_ends_options", "-s -- --keep-delays a.gif", "Unable to open GIF file: --keep-delays\n", 0, "out.gif", {20, 20}, -1},
        run_case{"option_value_may_start_with_dashes", "-s -o --x.gif a.gif b.gif", "", 0, "--x.gif", {20, 20, 80}, 0},
        run_case{"unknown_long_option", "-o x.gif a.gif --fast", "Unknown option: --fast\n", 1, none, {}, -1},
        run_case{"unknown_long_option_truncates_nothing", "-o b.gif --keep-delays=1 a.gif", "Unknown option: --keep-delays=1\n", 1, "b.gif", {-1}, -1},
        run_case{"long_help", "a.gif --help b.gif", long_usage, 0, none, {}, -1},
        run_case{"version", "-s --version", "reeljoin " REELJOIN_VERSION "\n", 0, none, {}, -1},
        run_case{"loop_count", "-s --loop=3 a.gif b.gif", "", 0, "out.gif", {20, 20, 80}, 3},
        run_case{"loop_count_apart", "-s a.gif --loop 65535 b.gif", "", 0, "out.gif", {20, 20, 80}, 65535},
        run_case{"loop_count_for_a_single_file", "-s --loop=0 a.gif", "", 0, "out.gif", {20, 20}, 0},
        run_case{"no_loop", "-s --no-loop a.gif b.gif", "", 0, "out.gif", {20, 20, 80}, -1},
        run_case{"loop_count_not_a_number", "-o x.gif --loop=-1 a.gif", "Invalid option value: --loop=-1\n", 1, none, {}, -1},
        run_case{"loop_count_too_large", "--loop 65536 a.gif", "Invalid option value: --loop 65536\n", 1, none, {}, -1},
        run_case{"option_value_missing", "a.gif --files-from", "Invalid option value: --files-from\n", 1, none, {}, -1},
        run_case{"files_from_after_the_names", "-s --files-from=list.txt a.gif", "", 0, "out.gif", {20, 20, 20, 80}, 0},
        run_case{"files_from_standard_input", "--files-from - a.gif < list.txt", pa + pb + "Processing: c c.gif\n", 0, "out.gif", {20, 20, 20, 80}, 0},
        run_case{"files_from_two_lists", "-s --files-from=list.txt --files-from=list.txt", "", 0, "out.gif", {20, 20, 20, 80}, 0},
        // Selections: a.gif has two frames.
        run_case{"one_frame_selected", "-s a.gif '#-1'", "", 0, "out.gif", {20}, -1},
        run_case{"frames_beyond_the_file", "-s a.gif '#1-9' b.gif '#-3'", "", 0, "out.gif", {20}, 0,
                 "reeljoin: a.gif has 2 frames; #1-9 selects frame 1\nreeljoin: b.gif has 1 frames; #-3 selects none of them\n"},
        run_case{"selection_after_frames_not_there", "-s a.gif '#5-' '#1-0'", "", 0, "out.gif", {20, 20}, -1,
                 "reeljoin: a.gif has 2 frames; #5- selects none of them\n"},
        run_case{"selection_malformed", "a.gif '#1-x'", "reeljoin: '#1-x' is not a frame selection; selections are #N, #A-B and #A-\n", 1, none, {}, -1},
        run_case{"selection_before_any_name", "-s '#0' a.gif", "reeljoin: '#0' selects frames, but no input file comes before it\n", 1, none, {}, -1},
        run_case{"file_named_like_a_selection", "-s a.gif '#1'  b.gif", "", 0, "out.gif", {20, 20, 20, 80}, 0},
        run_case{"selections_in_a_list", "-s --files-from=selecting.txt", "", 0, "out.gif", {20, 80}, 0},
        run_case{"list_starting_with_a_selection", "-s a.gif --files-from=selecting_first.txt", "reeljoin: '#0' selects frames, but no input file comes before it\n", 1, none, {}, -1},
        run_case{"standard_input_forwards", "-s - '#1-' < a.gif", "", 0, "out.gif", {20}, -1},
        run_case{"standard_input_backwards", "-s - '#1-0' < a.gif", "", 0, "out.gif", {20, 20}, -1},
        run_case{"standard_input_read_twice", "-s - '#1-1' '#0' < a.gif",
                 "reeljoin: - can be read only once: its selections must take frames in its order, counted from its start\n", 1, none, {}, -1},
        run_case{"standard_input_counted_from_its_end", "-s - '#-1' < a.gif",
                 "reeljoin: - can be read only once: its selections must take frames in its order, counted from its start\n", 1, none, {}, -1},
        run_case{"files_from_unreadable", "--files-from=nolist.txt a.gif", "Unable to read file list: nolist.txt\n", 1, none, {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// The input named as output is left exactly as it was.
TEST_F(cli, output_that_is_an_input_is_untouched) {
    EXPECT_EQ(run("-o a.gif a.gif b.gif"), 1);
    EXPECT_EQ(testgif::read_file(dir + "/a.gif"), two_frames());
}

// An output name far longer than any fixed buffer would hold.
TEST_F(cli, long_output_name) {
    std::string sub = std::string(200, 'd'), name = sub + "/" + sub + "/" + std::string(200, 'f') + ".gif";
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/" + sub + "/" + sub + "'").c_str()), 0);
    EXPECT_EQ(run("-s -o " + name + " a.gif b.gif"), 0);
    testgif::decoded d = testgif::decode_gif(testgif::read_file(dir + "/" + name));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.frames.size(), 3u);
}

// The inputs are only ever read: across runs that read them, refuse them
// or are told to write over one, no input is opened for writing or changed.
TEST_F(cli, inputs_are_only_read) {
    int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    for (const char* name : {"/a.gif", "/b.gif", "/c.gif", "/text.txt"})
        ASSERT_GE(inotify_add_watch(watch, (dir + name).c_str(),
                                    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF),
                  0);
    EXPECT_EQ(run("-s a.gif b.gif text.txt c.gif"), 0);
    EXPECT_EQ(run("-o b.gif a.gif b.gif"), 1);
    EXPECT_EQ(run("-s a.gif"), 0);
    alignas(inotify_event) char events[4096];
    ssize_t n = read(watch, events, sizeof events);
    EXPECT_LE(n, 0) << "an input changed, inotify mask 0x" << std::hex
                    << reinterpret_cast<const inotify_event*>(events)->mask;
    close(watch);
}

// Permissions do not hold back root, which CI runs as.
TEST_F(cli, unreadable_input) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
    ASSERT_EQ(chmod((dir + "/b.gif").c_str(), 0), 0);
    EXPECT_EQ(run("-s a.gif b.gif c.gif"), 0);
    EXPECT_EQ(console, "Unable to open GIF file: b.gif\n");
    testgif::decoded d = testgif::decode_gif_file(dir + "/out.gif");
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.frames.size(), 3u);
}

TEST_F(cli, output_in_read_only_directory) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into directories whatever their mode";
    ASSERT_EQ(chmod((dir + "/sub").c_str(), 0555), 0);
    EXPECT_EQ(run("-o sub/x.gif a.gif"), 1);
    EXPECT_EQ(console, "Unable to open output file: sub/x.gif\n");
    EXPECT_NE(access((dir + "/sub/x.gif").c_str(), F_OK), 0);
}

// Peak resident memory of one run of the program in the directory, in KiB.
long peak_kib(const std::string& dir, const std::vector<std::string>& args) {
    pid_t pid = start_program(dir, args);
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

// A screen and frames that claim 65535 x 65535 pixels with a few pixels of
// data: rebuilding their pictures takes no more memory than the pixels
// their data gives, and the output stays small.
TEST_F(cli, rebuilding_vast_claims_stays_small) {
    testgif::image_spec vast = testgif::picture(4, 4, 4, 9), dot = testgif::picture(1, 1, 4, 10), far_dot = dot;
    vast.width = vast.height = 65535;
    far_dot.left = far_dot.top = 65534;
    testgif::write_file(dir + "/vast.gif", testgif::gif_builder().header(65535, 65535, testgif::palette(4, 11))
                                               .image(vast).image(dot).image(far_dot).trailer().data());
    long plain = peak_kib(dir, {"-s", "-o", "plain.gif", "vast.gif"});
    long selected = peak_kib(dir, {"-s", "-o", "selected.gif", "vast.gif", "#-1-0", "#-2"});
    ASSERT_GT(plain, 0);
    ASSERT_GT(selected, 0);
    EXPECT_LT(selected, plain + 24 * 1024);  // at most one canvas of 4 Mi pixels at once
    EXPECT_LT(testgif::read_file(dir + "/selected.gif").size(), 4096u);
    testgif::decoded d = testgif::decode_gif_file(dir + "/selected.gif");
    EXPECT_TRUE(d.ok) << d.error;
}

// Nothing reads a whole file: joining a 32 MB image takes no more memory
// than joining the small ones.
TEST_F(cli, memory_stays_flat) {
    testgif::image_spec im = testgif::picture(4, 4, 4, 6);
    bytes data = testgif::sub_blocks(bytes(32 << 20, 0));  // 9-bit code 0 again and again, no end code
    testgif::write_file(dir + "/tiny.gif", testgif::gif_builder().header(4, 4, testgif::palette(4, 6)).image_raw(im, data).trailer().data());
    long small = peak_kib(dir, {"a.gif", "b.gif", "c.gif"});
    long big = peak_kib(dir, {"a.gif", "tiny.gif", "c.gif"});
    ASSERT_GT(small, 0);
    ASSERT_GT(big, 0);
    EXPECT_LT(big - small, 8 * 1024) << small << " KiB for small files, " << big << " KiB with the big one";
    EXPECT_GT(std::ifstream(dir + "/out.gif", std::ios::ate).tellg(), 32 << 20);
}

// A list of 100,000 names, far more than a command line holds, is joined
// in one run, and memory grows with the names alone.
TEST_F(cli, files_from_a_list_of_100000_names) {
    const bytes tiny = testgif::gif_builder().header(1, 1, testgif::palette(2, 7)).image(testgif::picture(1, 1, 2, 7)).trailer().data();
    ASSERT_EQ(mkdir((dir + "/many").c_str(), 0755), 0);
    const int count = 100000, few = 1000;
    std::ofstream all(dir + "/all.txt"), some(dir + "/some.txt");
    for (int i = 0; i < count; ++i) {
        std::string name = "many/frame " + std::to_string(i) + ".gif";
        testgif::write_file(dir + "/" + name, tiny);
        all << name << '\n';
        if (i < few) some << name << '\n';
    }
    all.close();
    some.close();
    long small = peak_kib(dir, {"-s", "--files-from=some.txt"});
    long big = peak_kib(dir, {"-s", "--files-from", "all.txt"});
    ASSERT_GT(small, 0);
    ASSERT_GT(big, 0);
    EXPECT_LT(big - small, (count - few) * 128 / 1024) << small << " KiB for " << few << " names, " << big << " KiB for " << count;
    EXPECT_EQ(testgif::scan_gif(testgif::read_file(dir + "/out.gif")).images.size(), std::size_t(count));
}

// The first file of a run without any colour table: its images get a
// table of zeros, since no table has been read yet.
TEST_F(cli, first_colours_borrowed_are_zero) {
    testgif::image_spec im = testgif::picture(3, 3, 16, 9);
    im.pixels = bytes(9, 0);
    testgif::write_file(dir + "/bare.gif", testgif::gif_builder().header(3, 3, {}).image(im).trailer().data());
    EXPECT_EQ(run("-s bare.gif"), 0);
    bytes out = testgif::read_file(dir + "/out.gif");
    ASSERT_GT(out.size(), 13u + 8u + 10u + 6u);
    EXPECT_EQ(out[10] & 0x80, 0);  // the screen still has no global table
    EXPECT_EQ(out[13 + 8 + 9] & 0x87, 0x80);  // the image got one of 2 entries
    EXPECT_EQ(bytes(out.begin() + 13 + 8 + 10, out.begin() + 13 + 8 + 16), bytes(6, 0));
}

}  // namespace
