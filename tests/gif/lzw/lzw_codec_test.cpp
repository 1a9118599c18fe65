// The decoder and the encoder against giflib: the decoder gives what giflib
// decodes of the tests' writer's streams (every code size, early and late
// clears, full tables kept, streams cut short), and giflib decodes what the
// encoder writes, on pictures that fill the table many times over.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "gif/code_output.h"
#include "gif/lzw/lzw_decoder.h"
#include "gif/lzw/lzw_encoder.h"
#include "gif/output.h"
#include "gif_decode.h"
#include "gif_writer.h"

namespace {

using testgif::bytes;
using testgif::stream_of;

// Pixels of `colours` indices: runs of random length, so that strings
// repeat and the table fills, with noise between them.
bytes random_pixels(std::mt19937& rng, std::size_t n, int colours) {
    std::uniform_int_distribution<int> index(0, colours - 1), run(1, 40), coin(0, 3);
    bytes px;
    while (px.size() < n) {
        int i = index(rng), len = coin(rng) ? run(rng) : 1;
        for (int k = 0; k < len && px.size() < n; ++k) px.push_back(static_cast<std::uint8_t>(i));
    }
    return px;
}

// giflib's pixels for one image of w x h with this data after its code size byte.
bytes giflib_pixels(int w, int h, int code_size, const bytes& data) {
    testgif::image_spec im = testgif::picture(w, h, 2, 1);
    im.min_code_size = code_size;
    bytes file = testgif::gif_builder().header(w, h, testgif::palette(256, 3)).image_raw(im, data).trailer().data();
    testgif::decoded d = testgif::decode_gif(file);
    return d.ok && d.frames.size() == 1 ? d.frames[0].pixels : bytes{};
}

// Decodes through output areas of random size, as a frame of any size is
// decoded, taking the stream in pieces as its sub-blocks come; each area
// keeps a random part of the last one's indices before it, or none.
bytes decode(const bytes& stream, int code_size, std::size_t want, decode_stop& stop, std::mt19937& rng) {
    auto d = std::make_unique<lzw_decoder>();
    constexpr std::size_t most_history = 6000;
    std::uniform_int_distribution<std::size_t> piece(1, 300), room(1, 5000), history(0, most_history);
    bytes buffer(most_history + 5000 + decoder_slack), out;
    std::uint8_t* area = buffer.data() + most_history;
    decoder_start(*d, code_size, nullptr, want);
    auto next_area = [&] {
        out.insert(out.end(), d->out, d->out + (d->given - d->out_base));
        std::size_t h = history(rng) / 2 * 2;  // none half the time
        if (h > most_history / 2)
            decoder_next_area(*d, area - (h - most_history / 2), h - most_history / 2, room(rng));
        else
            decoder_output(*d, area, room(rng));
    };
    decoder_output(*d, area, room(rng));
    for (std::size_t at = 0; at < stream.size() && (d->stop == decode_stop::more || d->stop == decode_stop::room);) {
        std::size_t n = std::min(piece(rng), stream.size() - at);  // pieces as sub-blocks come
        while (decoder_take(*d, stream.data() + at, n) == decode_stop::room) {
            at += d->took;
            n -= d->took;
            next_area();
        }
        at += n;
    }
    next_area();
    stop = d->stop;
    return out;
}

struct stream_kind {
    const char* name;
    testgif::lzw_options lzw;
};

TEST(lzw_decoder, gives_what_giflib_decodes) {
    const stream_kind kinds[] = {
        {"plain", {}},
        {"early_clears", {true, true, true, 37}},
        {"full_table_kept", {true, true, false, 0}},
        {"no_leading_clear", {false, true, true, 0}},
    };
    std::mt19937 rng(41);
    for (const stream_kind& k : kinds)
        for (int code_size = 2; code_size <= 8; ++code_size) {
            SCOPED_TRACE(std::string(k.name) + ", code size " + std::to_string(code_size));
            int w = 97, h = 61 + code_size * 7;
            bytes px = random_pixels(rng, std::size_t(w) * h, 1 << code_size);
            bytes stream = testgif::lzw_encode(px, code_size, k.lzw);
            decode_stop stop;
            bytes mine = decode(stream, code_size, px.size(), stop, rng);
            EXPECT_EQ(stop, decode_stop::full);
            EXPECT_EQ(mine, giflib_pixels(w, h, code_size, testgif::sub_blocks(stream)));
            EXPECT_EQ(mine, px);
            // Cut short: the decoder gives what the whole codes before the cut give.
            bytes cut(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 3));
            bytes part = decode(cut, code_size, px.size(), stop, rng);
            EXPECT_EQ(stop, decode_stop::more);
            EXPECT_EQ(part, bytes(px.begin(), px.begin() + static_cast<long>(part.size())));
            EXPECT_EQ(part.size(), testgif::decode_pixels(testgif::sub_blocks(cut), code_size, px.size()).size());
        }
}

TEST(lzw_decoder, stops_at_end_and_bad_codes) {
    std::mt19937 rng(5);
    decode_stop stop;
    // Code size 2: clear, 1, end (3-bit codes 4, 1, 5).
    EXPECT_EQ(decode(bytes{0x4C, 0x01}, 2, 10, stop, rng), bytes{1});
    EXPECT_EQ(stop, decode_stop::end_code);
    // Clear, 1, then 7, an entry not made yet.
    EXPECT_EQ(decode(bytes{0xCC, 0x0B}, 2, 10, stop, rng), bytes{1});
    EXPECT_EQ(stop, decode_stop::bad_code);
}

TEST(lzw_encoder, giflib_decodes_what_it_writes) {
    std::mt19937 rng(77);
    auto encoder = std::make_unique<lzw_encoder>();
    auto out = std::make_unique<output_stream>();
    for (int code_size = 2; code_size <= 8; ++code_size)
        for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{4097}, std::size_t{300 * 200}}) {
            SCOPED_TRACE("code size " + std::to_string(code_size) + ", " + std::to_string(n) + " pixels");
            int w = n > 300 ? 300 : static_cast<int>(n), h = static_cast<int>((n + w - 1) / w);
            bytes px = random_pixels(rng, std::size_t(w) * h, 1 << code_size);
            std::vector<std::uint8_t> data;
            output_to_memory(*out, data);
            code_sink sink = sink_to(*out);
            // Rows of random length, as a rebuilt frame gives them.
            encoder_start(*encoder, code_size, sink);
            std::uniform_int_distribution<std::size_t> row(0, 700);
            for (std::size_t at = 0; at < px.size();) {
                std::size_t k = std::min(row(rng), px.size() - at);
                encoder_take(*encoder, px.data() + at, k);
                at += k;
            }
            encoder_finish(*encoder);
            write_out(*out, &layout::block_terminator, 1);
            close_output(*out);
            EXPECT_EQ(giflib_pixels(w, h, code_size, data), px);
            decode_stop stop;
            EXPECT_EQ(decode(stream_of(data), code_size, px.size() + 1, stop, rng), px);
            EXPECT_EQ(stop, decode_stop::end_code);
        }
}

// A stream coded in two parts, as a large rebuilt frame is: the first
// ends with a clear code, the second is coded apart and its codes put
// after the first's, at every bit offset the first may end on.
TEST(lzw_encoder, a_stream_coded_in_two_parts_decodes_whole) {
    std::mt19937 rng(78);
    auto first = std::make_unique<lzw_encoder>(), second = std::make_unique<lzw_encoder>();
    auto out = std::make_unique<output_stream>();
    for (int code_size = 2; code_size <= 8; ++code_size) {
        const int w = 300, h = 200;
        bytes px = random_pixels(rng, std::size_t(w) * h, 1 << code_size);
        // Also where the first part's last code widens the codes after it.
        std::size_t widening = 0;
        code_sink counted;
        encoder_start(*first, code_size, counted);
        while (widening < px.size() && (widening < 2 || first->next != 1u << first->width))
            encoder_take(*first, px.data() + widening++, 1);
        for (std::size_t cut : {std::size_t{1}, std::size_t{777}, widening}) {
            SCOPED_TRACE("code size " + std::to_string(code_size) + ", cut at " + std::to_string(cut));
            std::vector<std::uint8_t> data, tail;
            output_to_memory(*out, data);
            code_sink sink = sink_to(*out), apart;
            apart.to = {[](void* c, const std::uint8_t* b, std::size_t n) {
                            auto& v = *static_cast<std::vector<std::uint8_t>*>(c);
                            v.insert(v.end(), b + 1, b + n);
                        },
                        &tail};
            encoder_start(*first, code_size, sink);
            encoder_take(*first, px.data(), cut);
            encoder_clear(*first);
            encoder_start_after_clear(*second, code_size, apart);
            encoder_take(*second, px.data() + cut, px.size() - cut);
            encoder_close(*second);
            apart.end_block();
            sink.append(tail.data(), tail.size(), apart.acc, apart.bits);
            sink.finish();
            write_out(*out, &layout::block_terminator, 1);
            close_output(*out);
            EXPECT_EQ(giflib_pixels(w, h, code_size, data), px);
        }
    }
}

}  // namespace
