// Selections as text, and the passes over a file that they need: a table
// of cases, each with the frames the file turns out to have.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/selection_plan.h"
#include "reeljoin/join.h"

namespace {

TEST(selection_text, reads_what_the_command_line_gives) {
    struct {
        const char* text;
        bool ok;
        reeljoin::frame_range want;
    } cases[] = {
        {"#3", true, {3, 3, false}},         {"#-1", true, {-1, -1, false}},
        {"#2-7", true, {2, 7, false}},       {"#-1-0", true, {-1, 0, false}},
        {"#2--1", true, {2, -1, false}},     {"#-3--1", true, {-3, -1, false}},
        {"#4-", true, {4, 0, true}},         {"#-2-", true, {-2, 0, true}},
        {"#", false, {}},                    {"#-", false, {}},
        {"#a", false, {}},                   {"#1-2-3", false, {}},
        {"#+1", false, {}},                  {"# 1", false, {}},
        {"#1x", false, {}},                  {"3", false, {}},
        {"#1234567890123", false, {}},       {"#1--", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        reeljoin::frame_range got;
        ASSERT_EQ(reeljoin::parse_selection(c.text, got), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(got.first, c.want.first);
        EXPECT_EQ(got.to_end, c.want.to_end);
        if (!c.want.to_end) {
            EXPECT_EQ(got.last, c.want.last);
        }
        EXPECT_EQ(reeljoin::selection_text(got), c.text);
    }
}

// "first-last" a span, "first<last" one played backwards, " | " between passes.
std::string passes_of(selection_plan p) {
    std::string out;
    std::vector<frame_span> spans;
    while (next_pass(p, spans)) {
        if (!out.empty()) out += " | ";
        for (std::size_t i = 0; i < spans.size(); ++i) {
            const frame_span& s = spans[i];
            out += (i ? " " : "") + std::to_string(s.first) + (s.backwards ? "<" : "-") +
                   (s.last == open_end ? std::string("end") : std::to_string(s.last));
        }
    }
    return out;
}

std::vector<selection_range> ranges(const std::vector<std::string>& texts) {
    std::vector<selection_range> out;
    for (const std::string& t : texts) {
        reeljoin::frame_range f;
        EXPECT_TRUE(reeljoin::parse_selection(t, f)) << t;
        out.push_back({f.first, f.last, f.to_end, t});
    }
    return out;
}

TEST(selection_plan, splits_selections_into_passes) {
    struct {
        std::vector<std::string> texts;
        std::int64_t frames;  // frames_unknown: not counted before the first pass
        const char* passes;
        bool counts, once;
    } cases[] = {
        {{"#0-9", "#20-"}, frames_unknown, "0-9 20-end", false, true},
        {{"#3", "#4", "#5-6"}, frames_unknown, "3-6", false, true},
        {{"#5", "#2"}, frames_unknown, "5-5 | 2-2", false, false},
        {{"#9-3", "#10-"}, frames_unknown, "3<9 10-end", false, true},
        {{"#9-3", "#9"}, frames_unknown, "3<9 | 9-9", false, false},
        {{"#-1-0"}, 12, "0<11", true, false},
        {{"#0-", "#-1-0"}, 12, "0-11 | 0<11", true, false},
        {{"#-3-"}, 12, "9-11", true, false},
        {{"#20-25", "#-20"}, 12, "", true, false},
        {{"#8-20"}, 12, "8-11", false, true},
        {{"#3-3"}, 4, "3-3", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.passes);
        std::vector<selection_range> r = ranges(c.texts);
        EXPECT_EQ(counts_from_end(r), c.counts);
        EXPECT_EQ(one_pass(r) && !counts_from_end(r), c.once);
        selection_plan p;
        p.ranges = r;
        p.frames = c.frames;
        EXPECT_EQ(passes_of(p), c.passes);
    }
}

TEST(selection_plan, reports_frames_a_file_has_not) {
    selection_plan p;
    p.ranges = ranges({"#1-3", "#2-9", "#-5", "#7-", "#-1-0"});
    std::vector<std::string> lines = learn_frame_count(p, 4, "clip.gif");
    EXPECT_EQ(lines, (std::vector<std::string>{"reeljoin: clip.gif has 4 frames; #2-9 selects frames 2 to 3",
                                               "reeljoin: clip.gif has 4 frames; #-5 selects none of them",
                                               "reeljoin: clip.gif has 4 frames; #7- selects none of them"}));
    EXPECT_TRUE(learn_frame_count(p, 4, "clip.gif").empty());  // once only
    EXPECT_EQ(passes_of(p), "1-3 | 2-3 | 0<3");
}

}  // namespace
