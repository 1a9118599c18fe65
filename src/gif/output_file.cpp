#include "gif/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int max_links = 40;  // as many as the kernel follows
constexpr int name_attempts = 100;

std::string directory_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Where the path's symbolic links lead: the last name on the way, which
// need not exist yet. The path itself where a link cannot be read.
std::string follow_links(const std::string& path) {
    std::string at = path;
    for (int i = 0; i < max_links; ++i) {
        struct stat st;
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        char buf[PATH_MAX];
        ssize_t n = ::readlink(at.c_str(), buf, sizeof buf);
        if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf)) return path;
        std::string link(buf, static_cast<std::size_t>(n));
        at = link[0] == '/' ? link : directory_of(at) + "/" + link;
    }
    return path;
}

// Creates a new file beside `target` under a name no other run takes
// (the process and the run's own address tell runs apart), with the mode
// the process gives new files. Returns its descriptor, -1 when the
// directory takes none.
int create_beside(const std::string& target, const void* run, std::string& name) {
    std::string dir = directory_of(target);
    for (int attempt = 0; attempt < name_attempts; ++attempt) {
        char part[96];
        std::snprintf(part, sizeof part, "/.reeljoin-%ld-%lx-%d.tmp", static_cast<long>(::getpid()),
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(run)), attempt);
        name = dir + part;
        int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    name.clear();
    return -1;
}

// Gives the new file what the old output had: its permission bits, and
// its owner and group where the process may.
void take_over(int fd, const struct stat& old) {
    ::fchmod(fd, old.st_mode & 07777);
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        if (::fchown(fd, old.st_uid, old.st_gid) == 0) ::fchmod(fd, old.st_mode & 07777);
}

// A regular file is opened for reading too, so that what was written can
// be read back where its permissions allow; anything else for writing.
int open_directly(const std::string& path, bool regular) {
    int fd = -1;
    if (regular) fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (regular ? 0 : O_TRUNC), 0666);
    return fd;
}

}  // namespace

int open_output_file(const std::string& path, output_file& f) {
    f = output_file{};
    f.target = follow_links(path);
    struct stat st;
    bool exists = ::stat(f.target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        f.fd = open_directly(f.target, false);
        return f.fd >= 0;
    }
    f.fd = create_beside(f.target, &f, f.temp);
    if (f.fd >= 0) {
        if (exists) take_over(f.fd, st);
        return 1;
    }
    f.regular = true;
    f.fd = open_directly(f.target, true);
    return f.fd >= 0;
}

int commit_output_file(output_file& f, unsigned long long length) {
    f.fd = -1;
    if (!f.temp.empty()) {
        int ok = ::rename(f.temp.c_str(), f.target.c_str()) == 0;
        if (!ok) ::unlink(f.temp.c_str());
        f.temp.clear();
        return ok;
    }
    if (f.regular) return ::truncate(f.target.c_str(), static_cast<off_t>(length)) == 0;
    return 1;
}

void abandon_output_file(output_file& f) {
    f.fd = -1;
    if (!f.temp.empty()) ::unlink(f.temp.c_str());
    f.temp.clear();
}
