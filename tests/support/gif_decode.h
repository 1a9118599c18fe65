// Decodes a GIF with giflib, as a check that does not share code with ours.
#pragma once

#include <string>
#include <vector>

#include "gif_writer.h"

namespace testgif {

struct frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    int delay = -1;        // from the frame's graphic control extension, -1 if none
    int disposal = -1;     // -1 if none
    int transparent = -1;  // transparent index, -1 if no transparency or no GCE
    bool user_input = false;
    bool has_local = false;  // the image carries its own colour map
    bytes colours;           // map in effect: local, else global (rgb triples); empty if none
    bytes pixels;            // decoded indices, in stored order
};

struct decoded {
    bool ok = false;
    std::string error;    // giflib's error text when not ok
    std::string version;  // signature and version, e.g. "GIF89a"
    int width = 0, height = 0;
    bytes global_colours;
    int loop_count = -1;  // from a NETSCAPE2.0 application extension, -1 if none
    std::vector<frame> frames;
};

decoded decode_gif(const bytes& file);
decoded decode_gif_file(const std::string& path);

// Decodes what a damaged file holds, as the browsers that accept short
// frames show it: every image the file pass finds, each with the pixels its
// data gives before its end code, its end, or a code that names an entry
// not made yet (fewer than width times height where it is short); an image
// of a minimum code size below 2 or above 8, which browsers refuse whole,
// gives none. Images without a table of their own take the file's global
// one. Decodes without giflib, which refuses such images.
decoded decode_damaged_gif(const bytes& file);

// The pixels that one image's data (sub-blocks with their length bytes)
// gives such a decoder, at most `want`. Minimum code sizes above 8 give
// indices above 255.
std::vector<int> decode_pixels(const bytes& blocks, int min_code_size, std::size_t want);

// giflib's reading of the block structure alone, without decoding pixels,
// so that images of any size cost nothing.
struct walked {
    bool ok = false;        // read through to the trailer without an error
    std::string error;      // giflib's error text when not ok
    int images = 0;         // image descriptors read (also before an error)
    int controls = 0;       // graphic control extensions read
    bool control_before_each = true;  // every image came right after a control block
};

walked walk_gif(const bytes& file);

}  // namespace testgif
