#include "cli/census.h"

#include <sys/stat.h>

#include <algorithm>

#include "gif/screen_scan.h"

census take_census(const std::vector<std::string>& names, int screens, const struct stat* output) {
    census c;
    struct stat st;
    for (const std::string& name : names) {
        if (stat(name.c_str(), &st) != 0) continue;
        ++c.existing;
        if (output && st.st_dev == output->st_dev && st.st_ino == output->st_ino) c.output_is_input = 1;
        int w = 0, h = 0;
        if (!screens || !S_ISREG(st.st_mode) ||
            !read_screen_size(name.c_str(), static_cast<std::uint64_t>(st.st_size), w, h))
            continue;
        c.width = std::max(c.width, w);
        c.height = std::max(c.height, h);
    }
    return c;
}
