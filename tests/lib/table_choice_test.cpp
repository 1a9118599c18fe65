// The choice of the output's global table for --compact: the table most
// inputs have, in a few slots whatever the number of inputs.
#include <gtest/gtest.h>

#include <vector>

#include "lib/table_choice.h"

namespace {

using table = std::vector<std::uint8_t>;

table solid(std::uint8_t shade, std::size_t entries) { return table(3 * entries, shade); }

const table* chosen(const std::vector<const table*>& seen) {
    table_tally tally;
    for (const table* t : seen) count_table(tally, t->data(), t->size() / 3);
    const table_candidate* c = most_common_table(tally);
    if (!c) return nullptr;
    for (const table* t : seen)
        if (t->size() == 3 * c->entries && table(c->table, c->table + t->size()) == *t) return t;
    return nullptr;
}

TEST(table_choice, the_table_most_inputs_have) {
    const table a = solid(1, 16), b = solid(2, 16), a_longer = solid(1, 32);
    std::vector<table> many;
    for (int i = 0; i < 40; ++i) many.push_back(solid(static_cast<std::uint8_t>(10 + i), 4));
    std::vector<const table*> crowd;  // a in a fifth of 60 inputs, among 40 tables met once
    for (int i = 0; i < 40; ++i) {
        crowd.push_back(&many[i]);
        if (i % 2) crowd.push_back(&a);
    }
    struct {
        const char* name;
        std::vector<const table*> seen;
        const table* want;
    } cases[] = {
        {"none", {}, nullptr},
        {"majority", {&b, &a, &a, &b, &a}, &a},
        {"tie_goes_to_the_earliest", {&b, &a, &a, &b}, &b},
        {"size_counts", {&a_longer, &a, &a_longer}, &a_longer},
        {"frequent_among_many", crowd, &a},
    };
    for (const auto& c : cases) EXPECT_EQ(chosen(c.seen), c.want) << c.name;
}

}  // namespace
