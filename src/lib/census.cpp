#include "lib/census.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "gif/gif.h"
#include "gif/screen_scan.h"
#include "gif/run.h"
#include "gif/stream.h"

namespace {

// Inputs whose global tables are read to choose the output's, at most
// about this many, when the screens are not all read anyway.
constexpr std::size_t table_sample = 256;

// The screen of an input that is no file: from its bytes, or from as many
// as its header and first image can take, where a reader gives them.
bool read_screen_of(const reeljoin::input& in, int with_table, screen_header& screen, bool grow) {
    if (in.in_memory()) return read_screen_bytes(in.data().data(), in.data().size(), with_table, screen, grow);
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), screen_read_most)));
    return (*in.read())(0, head.data(), head.size()) && read_screen_bytes(head.data(), head.size(), with_table, screen, grow);
}

// Whether name exists, with its status in st; with read_header, also the
// screen in its header, where it is a regular file that reads as a GIF
// (has_screen). Such a name is opened and examined through its descriptor,
// so that its path is looked up once.
int look_at(join_run& r, const reeljoin::input& in, bool read_header, struct stat& st, screen_header& screen,
            bool& has_screen) {
    int compact_tables = r.settings.compact_tables;
    bool grows = r.settings.fit_canvas;  // a file's size counts its first image
    has_screen = false;
    if (!in.is_file()) {  // bytes: they exist, and are no file an output could be
        has_screen = read_header && read_screen_of(in, compact_tables, screen, grows);
        st.st_dev = 0;
        st.st_ino = 0;
        return 1;
    }
    const char* name = in.name().c_str();
    if (names_standard_input(name)) {
        has_screen = read_header && !r.in.stdin_taken && read_standard_screen(r.in, compact_tables, screen);
        return fstat(STDIN_FILENO, &st) == 0;
    }
    if (!read_header) return stat(name, &st) == 0;
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return stat(name, &st) == 0;  // it may exist and still not open
    int exists = fstat(fd, &st) == 0;
    has_screen = exists && S_ISREG(st.st_mode) &&
                 read_screen(fd, static_cast<std::uint64_t>(st.st_size), compact_tables, screen, grows);
    close(fd);
    return exists;
}

}  // namespace

census take_census(join_run& r, const std::vector<reeljoin::input>& names, int screens, const struct stat* output) {
    int compact_tables = r.settings.compact_tables;
    census c;
    struct stat st;
    screen_header screen;
    // The tables alone are counted on a sample spread over the list: a
    // table that many inputs share shows in it, and a long sequence costs
    // no more to choose for than a short one.
    std::size_t stride = screens ? 1 : std::max<std::size_t>(1, names.size() / table_sample);
    for (std::size_t i = 0; i < names.size(); ++i) {
        bool has_screen;
        if (!look_at(r, names[i], screens || (compact_tables && i % stride == 0), st, screen, has_screen))
            continue;
        ++c.existing;
        if (output && names[i].is_file() && st.st_dev == output->st_dev && st.st_ino == output->st_ino)
            c.output_is_input = 1;
        if (!has_screen) continue;
        c.width = std::max(c.width, screen.width);
        c.height = std::max(c.height, screen.height);
        if (screen.table_entries) count_table(c.tables, screen.table, screen.table_entries);
    }
    return c;
}
