// Selections as the command line writes them: "#N", "#A-B", "#A-", where
// a number may have a minus sign ("#-1", "#-1-0", "#2--1").
#include <cctype>
#include <string>

#include "reeljoin/join.h"

namespace reeljoin {

namespace {

constexpr int most_digits = 12;  // more frames than any file can hold

// Reads an optionally negative number at text[at]; returns false when none.
bool read_number(const std::string& text, std::size_t& at, std::int64_t& value) {
    bool negative = at < text.size() && text[at] == '-';
    std::size_t start = at + negative, end = start;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == start || end - start > most_digits) return false;
    value = std::stoll(text.substr(start, end - start));
    if (negative) value = -value;
    at = end;
    return true;
}

}  // namespace

bool parse_selection(const std::string& text, frame_range& range) {
    std::size_t at = 1;
    frame_range r;
    if (text.empty() || text[0] != '#' || !read_number(text, at, r.first)) return false;
    r.last = r.first;
    if (at < text.size() && text[at] == '-') {
        ++at;
        if (at == text.size())
            r.to_end = true;
        else if (!read_number(text, at, r.last))
            return false;
    }
    if (at != text.size()) return false;
    range = r;
    return true;
}

std::string selection_text(const frame_range& range) {
    std::string text = "#" + std::to_string(range.first);
    if (range.to_end) return text + "-";
    if (range.last != range.first) text += "-" + std::to_string(range.last);
    return text;
}

input& input::select(const frame_range& range) {
    if (!selection_) selection_ = std::make_shared<std::vector<frame_range>>();
    selection_->push_back(range);
    return *this;
}

const std::vector<frame_range>& input::selection() const {
    static const std::vector<frame_range> none;
    return selection_ ? *selection_ : none;
}

}  // namespace reeljoin
