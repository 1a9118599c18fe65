// Splits an animated GIF into one single-image GIF per frame, as a renderer
// or frame exporter writes a sequence. Each file gets the input's header,
// screen descriptor and global colour table, the frame's graphic control
// extension and its image, all copied byte for byte, then a trailer; the
// other extensions (the loop block) are left out. Nothing is re-encoded.
//
//   splitgif IN.gif DIR
//
// Writes DIR/00001.gif, DIR/00002.gif, ... and prints how many it wrote.
// Exits 1 if the input is not a GIF it can walk to its trailer.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> data;

[[noreturn]] void fail(const char* what, const char* name) {
    std::fprintf(stderr, "splitgif: %s: %s\n", name, what);
    std::exit(1);
}

// Size of a colour table whose presence and size are in the packed byte.
std::size_t table_size(unsigned char packed) {
    return packed & 0x80 ? 3u << ((packed & 7) + 1) : 0;
}

// Returns the offset just past the sub-blocks that start at pos.
std::size_t skip_sub_blocks(std::size_t pos, const char* name) {
    while (pos < data.size() && data[pos] != 0) pos += 1 + data[pos];
    if (pos >= data.size()) fail("ends inside a block", name);
    return pos + 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: splitgif IN.gif DIR\n");
        return 2;
    }
    const char* in = argv[1];
    std::FILE* f = std::fopen(in, "rb");
    if (!f) fail("cannot open", in);
    unsigned char buf[1 << 16];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    std::fclose(f);

    if (data.size() < 13 || data[0] != 'G' || data[1] != 'I' || data[2] != 'F')
        fail("not a GIF", in);
    std::size_t head_end = 13 + table_size(data[10]);
    std::size_t pos = head_end, gce_at = 0, gce_end = 0;
    long count = 0;
    for (;;) {
        if (pos >= data.size()) fail("has no trailer", in);
        unsigned char kind = data[pos];
        if (kind == 0x3B) break;
        if (kind == 0x21) {
            if (pos + 2 > data.size()) fail("ends inside an extension", in);
            std::size_t end = skip_sub_blocks(pos + 2, in);
            if (data[pos + 1] == 0xF9) gce_at = pos, gce_end = end;
            pos = end;
        } else if (kind == 0x2C) {
            if (pos + 11 > data.size()) fail("ends inside an image descriptor", in);
            std::size_t end = skip_sub_blocks(pos + 11 + table_size(data[pos + 9]), in);
            char name[32];
            std::snprintf(name, sizeof name, "/%05ld.gif", ++count);
            std::string path = argv[2] + std::string(name);
            std::FILE* out = std::fopen(path.c_str(), "wb");
            if (!out) fail("cannot create", path.c_str());
            std::fwrite(data.data(), 1, head_end, out);
            std::fwrite(data.data() + gce_at, 1, gce_end - gce_at, out);
            std::fwrite(data.data() + pos, 1, end - pos, out);
            std::fputc(0x3B, out);
            if (std::fclose(out) != 0) fail("cannot write", path.c_str());
            gce_at = gce_end = 0;
            pos = end;
        } else {
            fail("has an unknown block", in);
        }
    }
    std::printf("%ld\n", count);
    return 0;
}
