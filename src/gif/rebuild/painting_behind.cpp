#include "gif/rebuild/painting_behind.h"

#include <utility>

namespace {

void keep(void* context, const std::uint8_t* bytes, std::size_t n) {
    painting_behind& b = *static_cast<painting_behind*>(context);
    if (b.keeping && b.stream.size() + n > most_kept_stream) {  // too long: painted as it comes
        paint_take(*b.painter, b.stream.data(), b.stream.size());
        b.stream.clear();
        b.keeping = false;
    }
    if (b.keeping)
        b.stream.insert(b.stream.end(), bytes, bytes + n);
    else
        paint_take(*b.painter, bytes, n);
}

void paint_kept(void* context) {
    painting_behind& b = *static_cast<painting_behind*>(context);
    try {
        paint_take(*b.painter, b.stream.data(), b.stream.size());
        paint_end(*b.painter);
    } catch (...) {
        b.failed = std::current_exception();
    }
    b.stream.clear();
    b.keeping = false;
}

}  // namespace

data_tap behind_start(painting_behind& b, file_canvas& c, const paint_frame& f) {
    if (!b.painter) b.painter = std::make_unique<frame_painter>();
    paint_start(*b.painter, c, f);
    // Room for the longest stream kept, made once: growing it as it comes
    // would copy it, and map and unmap larger memory each time. Pages
    // never written cost nothing.
    b.stream.reserve(most_kept_stream);
    b.stream.clear();
    b.keeping = true;
    return {keep, &b};
}

void behind_paint(painting_behind& b, side_thread& side) {
    if (!b.keeping) return paint_end(*b.painter);
    b.running = side.start(paint_kept, &b);
    if (!b.running) paint_kept(&b);
    if (b.failed && !b.running) std::rethrow_exception(std::exchange(b.failed, nullptr));
}

void behind_wait(painting_behind& b, side_thread& side) {
    if (!b.running) return;
    side.wait();
    b.running = false;
    if (b.failed) std::rethrow_exception(std::exchange(b.failed, nullptr));
}
