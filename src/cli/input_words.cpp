#include "cli/input_words.h"

#include <sys/stat.h>

std::string add_input_word(std::vector<reeljoin::input>& inputs, const std::string& word, std::size_t own) {
    struct stat st;
    if (word.empty() || word[0] != '#' || stat(word.c_str(), &st) == 0) {
        inputs.push_back(reeljoin::input::file(word));
        return "";
    }
    reeljoin::frame_range range;
    if (!reeljoin::parse_selection(word, range))
        return "reeljoin: '" + word + "' is not a frame selection; selections are #N, #A-B and #A-";
    if (inputs.size() <= own) return "reeljoin: '" + word + "' selects frames, but no input file comes before it";
    inputs.back().select(range);
    return "";
}
