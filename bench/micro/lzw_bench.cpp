// Speed of the LZW decoder and encoder that rebuilt frames use, in pixels
// a second: each image of the streams decoded into a small buffer, as a
// frame is painted, and its indices encoded again into a counting sink.
// Streams come from the encoder of the tests (minimum code sizes 2, 4 and
// 8) and from the first images of any GIF files named on the command line.
//
//   lzw_bench [benchmark flags] [file.gif ...]
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "gif/lzw/code_sink.h"
#include "gif/lzw/lzw_decoder.h"
#include "gif/lzw/lzw_encoder.h"
#include "gif_scan.h"
#include "gif_writer.h"

namespace {

using testgif::bytes;

constexpr std::size_t room = 16 * 1024;  // as frames are painted, with as much history

struct image_stream {
    int code_size;
    bytes payload;  // the sub-blocks' bytes without their lengths
    bytes indices;  // what they decode to
};

// Decodes a whole stream through the small buffer; the indices go to `all`
// where it is given.
std::uint64_t decode(lzw_decoder& d, const image_stream& s, std::uint64_t pixels, bytes* all) {
    std::vector<std::uint8_t> buffer(room + room + decoder_slack);
    decoder_start(d, s.code_size, nullptr, pixels);
    decoder_output(d, buffer.data() + room, room);
    const std::uint8_t* at = s.payload.data();
    std::size_t left = s.payload.size();
    for (;;) {
        std::uint64_t base = d.given;
        decode_stop stop = decoder_take(d, at, left);
        at += d.took;
        left -= d.took;
        if (all) all->insert(all->end(), d.out, d.out + (d.given - base));
        if (stop != decode_stop::room) break;
        decoder_next_area(d, buffer.data(), room, room);
    }
    return d.given;
}

struct stream_set {
    std::string name;
    std::vector<image_stream> images;
    std::uint64_t pixels = 0;
};

void finish(stream_set& s) {
    auto d = std::make_unique<lzw_decoder>();
    for (image_stream& im : s.images) {
        decode(*d, im, UINT64_MAX, &im.indices);
        s.pixels += im.indices.size();
    }
}

stream_set synthetic(int code_size) {
    bytes pixels = testgif::pattern(640, 480, 1 << code_size, 11);
    stream_set s{"min" + std::to_string(code_size), {}, 0};
    s.images.push_back({code_size, testgif::stream_of(testgif::sub_blocks(testgif::lzw_encode(pixels, code_size))), {}});
    finish(s);
    return s;
}

void decoding(benchmark::State& state, const stream_set& s) {
    auto d = std::make_unique<lzw_decoder>();
    for (auto _ : state)
        for (const image_stream& im : s.images) benchmark::DoNotOptimize(decode(*d, im, im.indices.size(), nullptr));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.pixels));
}

void encoding(benchmark::State& state, const stream_set& s) {
    auto e = std::make_unique<lzw_encoder>();
    for (auto _ : state)
        for (const image_stream& im : s.images) {
            code_sink counted;
            encoder_start(*e, im.code_size < 2 ? 2 : im.code_size, counted);
            encoder_take(*e, im.indices.data(), im.indices.size());
            encoder_finish(*e);
            benchmark::DoNotOptimize(counted.bytes);
        }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.pixels));
}

void add(const stream_set& s) {
    benchmark::RegisterBenchmark(("decode/" + s.name).c_str(), decoding, s)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("encode/" + s.name).c_str(), encoding, s)->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int code_size : {2, 4, 8}) add(synthetic(code_size));
    for (int i = 1; i < argc; ++i) {
        std::string path = argv[i];
        stream_set s{path.substr(path.find_last_of('/') + 1), {}, 0};
        for (const testgif::scanned_image& im : testgif::scan_gif(testgif::read_file(path)).images) {
            s.images.push_back({im.code_size, testgif::stream_of(im.data), {}});
            if (s.images.size() == 2) break;  // as "#1-" decodes
        }
        if (s.images.empty()) {
            std::printf("No images found in %s\n", argv[i]);
            return 1;
        }
        finish(s);
        add(s);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
