// Speed of the image data pass-through, in MB/s of compressed data: the
// walker alone on each image's payload laid end to end in memory, on each
// scan path the processor has, and the whole pass-through (on the path the
// program would choose) from a file in the page cache to /dev/null. Streams
// come from the encoder of the tests (minimum code sizes 2, 4 and 8) and
// from any GIF files named on the command line.
//
//   pass_through_bench [benchmark flags] [file.gif ...]
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gif/lzw/code_scan.h"
#include "gif/gif.h"
#include "gif/image_data.h"
#include "gif/lzw/lzw_walker.h"
#include "gif/run.h"
#include "gif/stream.h"
#include "gif_scan.h"
#include "gif_writer.h"

namespace {

using testgif::bytes;

// One image's data: its minimum code size and its sub-blocks with the
// terminator, as they stand in the file.
struct image_stream {
    int code_size;
    bytes blocks;
};

// The images of a GIF file, as the tests' own block scan finds them.
std::vector<image_stream> images_of(const bytes& file) {
    std::vector<image_stream> out;
    for (const testgif::scanned_image& im : testgif::scan_gif(file).images) {
        out.push_back({im.code_size, im.data});
        out.back().blocks.push_back(0);
    }
    return out;
}

struct stream_set {
    std::string name;
    std::vector<image_stream> images;
    std::size_t bytes_total = 0;
};

stream_set synthetic(int code_size) {
    int colours = 1 << code_size;
    bytes pixels = testgif::pattern(640, 480, colours, 11);
    stream_set s{"min" + std::to_string(code_size), {}, 0};
    for (int i = 0; i < 8; ++i) s.images.push_back({code_size, testgif::sub_blocks(testgif::lzw_encode(pixels, code_size))});
    for (const image_stream& im : s.images) s.bytes_total += im.blocks.size();
    return s;
}

// Payloads without their length bytes, padded as the walker needs.
std::vector<bytes> payloads(const stream_set& s) {
    std::vector<bytes> out;
    for (const image_stream& im : s.images) {
        bytes p = testgif::stream_of(im.blocks);
        p.resize(p.size() + scan_slack);
        out.push_back(std::move(p));
    }
    return out;
}

void walker(benchmark::State& state, const stream_set& s, scan_path path) {
    scan_path saved = selected_scan_path();
    select_scan_path(path);
    std::vector<bytes> streams = payloads(s);
    std::size_t total = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < streams.size(); ++i) {
            lzw_walker w;
            lzw_start(w, s.images[i].code_size);
            lzw_stop stop = lzw_walk(w, streams[i].data(), 0, (streams[i].size() - scan_slack) * 8);
            benchmark::DoNotOptimize(stop);
            total += streams[i].size() - scan_slack;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    select_scan_path(saved);
}

// The image data of all images one after another in a file, each read by
// the pass-through as the file pass would.
void pass_through(benchmark::State& state, const stream_set& s) {
    std::string path = "/dev/shm/reeljoin_bench_" + s.name;
    bytes file;
    for (const image_stream& im : s.images) file.insert(file.end(), im.blocks.begin(), im.blocks.end());
    testgif::write_file(path, file);
    auto run = std::make_unique<join_run>();
    join_run& r = *run;
    output_to(r.out, ::open("/dev/null", O_WRONLY));
    release_output(r.out, UINT64_MAX);  // nothing is held back: every byte may go at once
    for (auto _ : state) {
        if (!open_input(r.in, path.c_str())) {
            state.SkipWithError("cannot open the stream file");
            break;
        }
        for (const image_stream& im : s.images) benchmark::DoNotOptimize(image_data_copy(r.io(), im.code_size));
        close_input(r.in);
    }
    close_output(r.out);
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void add(const stream_set& s) {
    for (auto [path, name] : {std::pair{scan_path::scalar, "scalar"}, std::pair{scan_path::avx2, "avx2"}})
        if (scan_path_available(path))
            benchmark::RegisterBenchmark(("walker_" + std::string(name) + "/" + s.name).c_str(), walker, s, path)
                ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("pass_through/" + s.name).c_str(), pass_through, s)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int code_size : {2, 4, 8}) add(synthetic(code_size));
    for (int i = 1; i < argc; ++i) {
        std::string path = argv[i];
        stream_set s{path.substr(path.find_last_of('/') + 1), images_of(testgif::read_file(path)), 0};
        for (const image_stream& im : s.images) s.bytes_total += im.blocks.size();
        if (s.images.empty()) {
            std::printf("No images found in %s\n", argv[i]);
            return 1;
        }
        add(s);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
