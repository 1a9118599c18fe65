// The pieces that rebuild frames: the file's canvas, which grows only as
// far as its budget lets, puts back what a restoring frame covered and
// keeps a byte a pixel while one table colours its frames, alone or in
// the block of a rebuild state made for a large screen; and
// the writer of pictures, whose frames, played by the test player over
// giflib's decoding, show exactly the picture, drawn over what the output
// showed before; and the side thread, which works beside the thread that
// gives it a task.
#include <gtest/gtest.h>
#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "gif/canvas.h"
#include "gif/layout.h"
#include "gif/output.h"
#include "gif/rebuild/colour_ids.h"
#include "gif/rebuild/file_canvas.h"
#include "gif/rebuild/frame_paint.h"
#include "gif/rebuild/index_plane.h"
#include "gif/rebuild/offered_task.h"
#include "gif/rebuild/rebuilt_frame.h"
#include "gif/rebuild/row_coding.h"
#include "gif/rebuild/side_thread.h"
#include "gif/run.h"
#include "gif_decode.h"
#include "gif_play.h"
#include "gif_writer.h"

namespace {

using testgif::bytes;

TEST(file_canvas, grows_within_its_budget_and_keeps_its_pixels) {
    auto c = std::make_unique<file_canvas>();
    file_canvas_open(*c, 65535, 65535);
    ASSERT_TRUE(file_canvas_hold(*c, {10, 10, 20, 11}, {10, 10, 20, 30}));
    EXPECT_EQ(c->held.y1, 30);  // grown to the frame at once: it is small
    *pixel_ref(*c, 12, 10) = opaque_pixel | 7;
    // A far pixel would make the canvas vast: refused, the rest kept.
    EXPECT_FALSE(file_canvas_hold(*c, {65000, 65000, 65001, 65001}, {65000, 65000, 65001, 65001}));
    EXPECT_TRUE(c->short_of_room);
    ASSERT_TRUE(file_canvas_hold(*c, {0, 0, 1, 1}, {0, 0, 1, 1}));
    EXPECT_EQ(view_pixel(view_of(*c), 12, 10), opaque_pixel | 7);
    EXPECT_LE(c->pixels.size(), std::size_t{4} << 20);
    // Once its data has given many pixels, a canvas may grow as far.
    c->drawn_pixels = 3u << 20;
    EXPECT_TRUE(file_canvas_hold(*c, {0, 0, 4096, 4096}, {0, 0, 4096, 4096}));
}

// A frame decoded into the plane is often smaller than the picture looked
// over in it next: room made for the screen at once is not made again.
TEST(index_plane, keeps_the_room_made_for_a_likely_larger_request) {
    index_plane p;
    std::uint8_t* frame = plane_room(p, 600, 1000);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(p.pixels, 1000u);
    EXPECT_EQ(p.resident, 600u);
    EXPECT_EQ(plane_room(p, 1000), frame);
    EXPECT_EQ(p.resident, 1000u);
    ASSERT_NE(plane_room(p, 1001), nullptr);  // beyond it: made anew, larger
    EXPECT_EQ(p.pixels, 1001u);
    // Never beyond a million pixels, however likely.
    EXPECT_EQ(plane_room(p, most_plane_pixels + 1), nullptr);
    ASSERT_NE(plane_room(p, 2000, most_plane_pixels + 1), nullptr);
    EXPECT_EQ(p.pixels, 2000u);
}

TEST(file_canvas, restores_what_a_frame_covered_even_where_it_grew) {
    auto c = std::make_unique<file_canvas>();
    file_canvas_open(*c, 8, 8);
    ASSERT_TRUE(file_canvas_hold(*c, {0, 0, 4, 4}, {0, 0, 4, 4}));
    *pixel_ref(*c, 1, 1) = opaque_pixel | 1;
    const box rect{0, 0, 8, 8};
    file_canvas_save(*c, rect);
    ASSERT_TRUE(file_canvas_hold(*c, {0, 0, 8, 8}, rect));  // the frame draws beyond what was held
    for (std::int64_t y = 0; y < 8; ++y)
        for (std::int64_t x = 0; x < 8; ++x) *pixel_ref(*c, x, y) = opaque_pixel | 2;
    file_canvas_dispose(*c, rect, layout::disposal_restore);
    for (std::int64_t y = 0; y < 8; ++y)
        for (std::int64_t x = 0; x < 8; ++x)
            EXPECT_EQ(view_pixel(view_of(*c), x, y), x == 1 && y == 1 ? opaque_pixel | 1 : 0u) << x << "," << y;
    file_canvas_dispose(*c, {0, 0, 2, 2}, layout::disposal_clear);
    EXPECT_EQ(view_pixel(view_of(*c), 1, 1), 0u);
}

// Paints a frame of `w` x `h` indices at (x, y), all `index` but the first
// row, which takes 0, 1, 2...; `table` holds 256 entries.
void paint_frame_of(frame_painter& p, file_canvas& c, const bytes& table, int x, int y, int w, int h,
                    std::uint8_t index, int transparent = -1) {
    bytes px(static_cast<std::size_t>(w * h), index);
    for (int i = 0; i < w; ++i) px[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    paint_frame f;
    f.rect = {x, y, x + w, y + h};
    f.table = table.data();
    f.entries = 256;
    f.transparent = transparent;
    f.code_size = 8;
    paint_start(p, c, f);
    bytes codes = testgif::lzw_encode(px, 8);
    paint_take(p, codes.data(), codes.size());
    paint_end(p);
}

// While the frames take one table, the canvas keeps a byte a pixel and
// shows their colours; a frame of another table turns it into colours. A
// canvas of a rebuild state made for a large screen does the same in the
// room of its block, where the system can make one.
TEST(file_canvas, keeps_one_tables_indices_until_another_comes) {
    rebuild_ptr state = make_rebuild_state(std::uint64_t{1} << 19);
    EXPECT_EQ(make_rebuild_state(100 * 100)->room.at, nullptr);  // a small screen's needs no block
    bytes table = testgif::palette(256, 5), other = testgif::palette(256, 6);
    auto colour = [](const bytes& t, int i) {
        return opaque_pixel | std::uint32_t{t[3 * i]} << 16 | std::uint32_t{t[3 * i + 1]} << 8 | t[3 * i + 2];
    };
    auto alone = std::make_unique<file_canvas>();
    for (file_canvas* c : {alone.get(), &state->canvas}) {
        bool roomy = c == &state->canvas && state->room.at;
        SCOPED_TRACE(roomy ? "in a block" : "alone");
        auto p = std::make_unique<frame_painter>();
        file_canvas_open(*c, 40, 30);
        paint_frame_of(*p, *c, table, 0, 0, 40, 20, 255, 7);  // 7 is left transparent
        paint_frame_of(*p, *c, table, 10, 10, 30, 20, 254);   // grows the canvas
        ASSERT_TRUE(c->indexed);
        EXPECT_EQ(c->indices.size(), 40u * 30u);
        EXPECT_EQ(c->pixels.capacity(), 0u);
        EXPECT_EQ(in_room(&state->room, c->indices.data()), roomy);
        EXPECT_EQ(view_pixel(view_of(*c), 7, 0), 0u);
        EXPECT_EQ(view_pixel(view_of(*c), 5, 5), colour(table, 255));
        EXPECT_EQ(view_pixel(view_of(*c), 5, 25), 0u);  // held, never drawn
        EXPECT_EQ(view_pixel(view_of(*c), 20, 25), colour(table, 254));
        paint_frame_of(*p, *c, other, 0, 25, 4, 1, 3);
        ASSERT_FALSE(c->indexed);
        EXPECT_EQ(in_room(&state->room, c->pixels.data()), roomy);
        EXPECT_EQ(view_pixel(view_of(*c), 2, 25), colour(other, 2));
        EXPECT_EQ(view_pixel(view_of(*c), 5, 25), 0u);
        EXPECT_EQ(view_pixel(view_of(*c), 20, 25), colour(table, 254));
    }
    // What no longer fits the room is made as any other.
    room_vector<std::uint8_t> large{room_allocator<std::uint8_t>(&state->room)};
    large.assign(rebuild_block_size, 1);
    EXPECT_FALSE(in_room(&state->room, large.data()));
}

// Cleared pixels stay transparent when the index kept for them moves: an
// opaque frame over the whole canvas leaves none, a clear makes some, and
// the next frame draws the index they hold.
TEST(file_canvas, keeps_cleared_pixels_transparent_when_their_index_is_drawn) {
    auto c = std::make_unique<file_canvas>();
    auto p = std::make_unique<frame_painter>();
    bytes table = testgif::palette(256, 5);
    file_canvas_open(*c, 40, 30);
    paint_frame_of(*p, *c, table, 0, 0, 40, 30, 9);
    file_canvas_dispose(*c, {30, 28, 40, 30}, layout::disposal_clear);
    std::uint8_t spare = c->spare;
    paint_frame_of(*p, *c, table, 0, 0, 2, 2, spare);
    ASSERT_TRUE(c->indexed);
    ASSERT_NE(c->spare, spare);
    EXPECT_EQ(view_pixel(view_of(*c), 35, 29), 0u);
    const std::uint8_t* e = table.data() + 3 * spare;
    EXPECT_EQ(view_pixel(view_of(*c), 0, 1), opaque_pixel | std::uint32_t{e[0]} << 16 | std::uint32_t{e[1]} << 8 | e[2]);
}

// A picture of w x h pixels that takes every one of `colours` colours
// (w x h >= colours), with transparent holes at every 11th pixel where asked.
std::vector<std::uint32_t> picture_of(int w, int h, int colours, bool holes) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = holes && i % 11 == 0 ? 0 : opaque_pixel | static_cast<std::uint32_t>((i % colours) * 40503u);
    return px;
}

testgif::snapshot snapshot_of(const std::vector<std::uint32_t>& px, int w, int h) { return {w, h, px}; }

struct writer {
    std::vector<std::uint8_t> data;
    std::unique_ptr<output_stream> out = std::make_unique<output_stream>();
    std::unique_ptr<lzw_encoder> encoder = std::make_unique<lzw_encoder>();
    std::unique_ptr<lzw_encoder> second = std::make_unique<lzw_encoder>();
    side_thread side;
    room_vector<std::uint8_t> second_codes;
    std::unique_ptr<colour_ids> ids = std::make_unique<colour_ids>(), second_ids = std::make_unique<colour_ids>();
    index_plane plane;
    canvas_state canvas;

    writer(int w, int h) {
        output_to_memory(*out, data);
        // Header without a global table: the frames bring their own.
        std::uint8_t head[13] = {'G', 'I', 'F', '8', '9', 'a'};
        layout::put_u16(head + 6, w);
        layout::put_u16(head + 8, h);
        write_out(*out, head, sizeof head);
        canvas_open(canvas, *out, false, w, h, 6);
    }
    offered_task* offer = nullptr;  // where the second part is offered
    void write(const rebuilt_picture& p) { write_picture({canvas, *out, {*encoder, *second, side, second_codes, offer}, *ids, *second_ids, plane}, p); }
    testgif::timeline play(testgif::decoded& d) {
        write_out(*out, &layout::trailer, 1);
        close_output(*out);
        d = testgif::decode_gif(data);
        EXPECT_TRUE(d.ok) << d.error;
        return testgif::play(d);
    }
};

TEST(rebuilt_frame, draws_the_picture_over_what_was_shown) {
    struct {
        const char* name;
        int colours;
        bool holes;
        std::size_t frames;  // that draw the first picture: 255 colours each beside a transparent index
        int w, h;            // large ones are coded in two parts at once
        bool plain_top = false;  // the rows coded first take only 4 of the colours
    } cases[] = {
        {"few colours", 12, false, 1, 40, 30},
        {"transparent holes", 12, true, 1, 40, 30},
        {"256 colours", 256, false, 1, 40, 30},
        {"256 colours with holes", 256, true, 2, 40, 30},
        {"700 colours", 700, true, 3, 40, 30},
        {"large, few colours", 12, false, 1, 320, 241},
        {"large, 256 colours with holes", 256, true, 2, 320, 241},
        {"large, 700 colours", 700, true, 3, 401, 200},
        {"large, 256 colours all in the lower rows", 256, false, 1, 320, 241, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = c.w, h = c.h;
        if (w * h >= 320 * 200) {
            ASSERT_LT(second_part_row(w, h), h);
        }
        std::vector<std::uint32_t> first = picture_of(w, h, c.colours, c.holes);
        if (c.plain_top) {
            std::vector<std::uint32_t> four = picture_of(2, 2, 4, false);
            for (std::size_t i = 0; i < static_cast<std::size_t>(w * second_part_row(w, h)); ++i) first[i] = four[i % 4];
        }
        std::vector<std::uint32_t> second = first;
        // The second differs in a corner, transparent in places where the first is not.
        for (int y = h - 10; y < h; ++y)
            for (int x = w - 15; x < w; ++x) second[static_cast<std::size_t>(y) * w + x] = (x + y) % 3 ? opaque_pixel | 0x123456u : 0;
        picture_view a{{0, 0, w, h}, first.data()}, b{{0, 0, w, h}, second.data()};
        writer out(w, h);
        rebuilt_picture p;
        p.pic = a;
        p.region = {0, 0, w, h};
        p.delay = 30;
        out.write(p);
        p.pic = b;
        p.under = &a;  // the second is drawn over the first, known exactly
        out.write(p);
        testgif::decoded d;
        testgif::timeline t = testgif::merge_repeats(out.play(d));
        if (w * h >= 320 * 200) {  // its second part offered, taken by no other thread: the same bytes
            offered_task offer;
            writer one(w, h);
            one.offer = &offer;
            for (const picture_view* v : {&a, &b}) {
                p.pic = *v;
                p.under = v == &b ? &a : nullptr;
                one.write(p);
            }
            testgif::decoded e;
            one.play(e);
            EXPECT_EQ(one.data, out.data);
        }
        ASSERT_EQ(t.size(), c.frames + 1);
        EXPECT_EQ(t[c.frames - 1].pic, snapshot_of(first, w, h));
        EXPECT_EQ(t.back().pic, snapshot_of(second, w, h));
        EXPECT_EQ(t.back().time, 30);
        int first_time = 0;
        for (std::size_t i = 0; i < c.frames; ++i) first_time += t[i].time;
        EXPECT_EQ(first_time, 30);  // the clear frame's 2 hundredths taken from it, shown the same
        const testgif::frame& last = d.frames.back();
        EXPECT_LE(last.width * last.height, 15 * 10);  // only the corner that differs
    }
}

#ifdef __linux__
// Where there are two processors or more, the side thread runs its task on
// another than the one of the thread that gives it: sleeping there while it
// waits, that thread would otherwise often have its task run in its place.
TEST(side_thread, works_beside_the_thread_that_gives_it_a_task) {
    cpu_set_t allowed;
    ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof allowed, &allowed), 0);
    if (CPU_COUNT(&allowed) < 2) GTEST_SKIP() << "a single processor";
    struct restore {
        cpu_set_t& to;
        ~restore() { pthread_setaffinity_np(pthread_self(), sizeof to, &to); }
    } restored{allowed};
    side_thread side;
    side.prepare();  // made where the run may use every processor
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t here;
        CPU_ZERO(&here);
        CPU_SET(cpu, &here);
        if (pthread_setaffinity_np(pthread_self(), sizeof here, &here) != 0) GTEST_SKIP() << "processors cannot be chosen";
        for (int round = 0; round < 20; ++round) {
            int ran_on = -1;
            ASSERT_TRUE(side.start([](void* on) { *static_cast<int*>(on) = sched_getcpu(); }, &ran_on));
            side.wait();
            ASSERT_NE(ran_on, cpu) << "round " << round;
        }
    }
}
#endif

// Waiting awake, the caller sees the task's work once it returns, whether
// the task ends within the time it looks for its end or only after.
TEST(side_thread, waiting_awake_returns_once_the_task_is_done) {
    side_thread side;
    for (int ms : {0, 20}) {
        struct task {
            int ms;
            int done = 0;  // written by the task alone
        } t{ms, 0};
        bool beside = side.start([](void* c) {
            auto& t = *static_cast<task*>(c);
            std::this_thread::sleep_for(std::chrono::milliseconds(t.ms));
            t.done = 1;
        }, &t);
        if (!beside) GTEST_SKIP() << "no second thread here";
        side.wait_awake(std::chrono::microseconds(1000));
        EXPECT_EQ(t.done, 1) << ms;
    }
}

// A task given while the one before still runs runs after it, not in its
// place; a thread that declines runs none.
TEST(side_thread, a_task_given_while_another_runs_runs_after_it) {
    struct step {
        std::atomic<int>* count;
        int ms;
        int at = 0;  // its place in the order the tasks ran
    };
    std::atomic<int> count{0};
    step first{&count, 20}, second{&count, 0};
    auto task = [](void* c) {
        auto& s = *static_cast<step*>(c);
        std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
        s.at = ++*s.count;
    };
    side_thread side;
    if (!side.start(task, &first)) GTEST_SKIP() << "no second thread here";
    ASSERT_TRUE(side.start(task, &second));
    side.wait();
    EXPECT_EQ(first.at, 1);
    EXPECT_EQ(second.at, 2);

    side_thread none;
    none.decline();
    EXPECT_FALSE(none.start(task, &first));
}

// A task offered while the caller waits awake is run by the caller; its
// offerer, taking it back, finds it done. One that no thread helps with
// is taken back whole.
TEST(side_thread, waiting_awake_runs_what_is_offered_meanwhile) {
    struct job {
        offered_task offer;
        std::atomic<bool> ran{false};
        std::thread::id ran_on;
        bool back = true;
    } j;
    side_thread side;
    bool beside = side.start([](void* c) {
        auto& j = *static_cast<job*>(c);
        j.offer.offer([](void* c) {
            auto& j = *static_cast<job*>(c);
            j.ran_on = std::this_thread::get_id();
            j.ran = true;
        }, &j);
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!j.ran && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        j.back = j.offer.take_back();
    }, &j);
    if (!beside) GTEST_SKIP() << "no second thread here";
    side.wait_awake(std::chrono::seconds(10), [](void* o) { static_cast<offered_task*>(o)->help(); }, &j.offer);
    EXPECT_FALSE(j.back);
    EXPECT_EQ(j.ran_on, std::this_thread::get_id());

    offered_task alone;
    alone.offer([](void*) { ADD_FAILURE() << "run by a helper"; }, nullptr);
    EXPECT_TRUE(alone.take_back());
    EXPECT_FALSE(alone.help());
}

}  // namespace
