#include "cli/census.h"

#include <sys/stat.h>

#include <algorithm>

#include "gif/gif.h"
#include "gif/screen_scan.h"

namespace {

// Inputs whose global tables are read to choose the output's, at most
// about this many, when the screens are not all read anyway.
constexpr std::size_t table_sample = 256;

}  // namespace

census take_census(const std::vector<std::string>& names, const struct stat* output) {
    census c;
    struct stat st;
    screen_header screen;
    // The tables alone are counted on a sample spread over the list: a
    // table that many inputs share shows in it, and a long sequence costs
    // no more to choose for than a short one. --fit reads every header.
    std::size_t stride = fit_canvas ? 1 : std::max<std::size_t>(1, names.size() / table_sample);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const char* name = names[i].c_str();
        if (stat(name, &st) != 0) continue;
        ++c.existing;
        if (output && st.st_dev == output->st_dev && st.st_ino == output->st_ino) c.output_is_input = 1;
        bool wanted = fit_canvas || (compact_tables && i % stride == 0);
        if (!wanted || !S_ISREG(st.st_mode) ||
            !read_screen(name, static_cast<std::uint64_t>(st.st_size), compact_tables, screen))
            continue;
        c.width = std::max(c.width, screen.width);
        c.height = std::max(c.height, screen.height);
        if (screen.table_entries) count_table(c.tables, screen.table, screen.table_entries);
    }
    return c;
}
