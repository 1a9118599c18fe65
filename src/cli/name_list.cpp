#include "cli/name_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/input_words.h"

namespace {

constexpr std::size_t block_size = 64 * 1024;

// A line ends at its newline, and a list written on Windows ends its lines
// with a carriage return before it: one is dropped.
void take_name(std::string& line, std::vector<reeljoin::input>& names, std::size_t own, std::string& error) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) {
        std::string wrong = add_input_word(names, line, own);
        if (error.empty()) error = wrong;
    }
    line.clear();
}

}  // namespace

int read_name_list(const std::string& path, std::vector<reeljoin::input>& names, std::string& error) {
    int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char block[block_size];
    std::string line;
    const std::size_t own = names.size();  // the list's own names start here
    int ok = 1;
    for (;;) {
        ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (const char *p = block, *end = block + got; p < end;) {
            const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            line.append(p, newline ? newline : end);
            if (!newline) break;
            take_name(line, names, own, error);
            p = newline + 1;
        }
    }
    take_name(line, names, own, error);
    if (fd != STDIN_FILENO) ::close(fd);
    return ok;
}
