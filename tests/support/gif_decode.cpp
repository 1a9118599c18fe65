#include "gif_decode.h"

#include <gif_lib.h>

#include "gif_scan.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace testgif {
namespace {

struct reader {
    const bytes* file;
    std::size_t pos;
};

int read_memory(GifFileType* gif, GifByteType* buf, int n) {
    auto* r = static_cast<reader*>(gif->UserData);
    std::size_t count = std::min(static_cast<std::size_t>(n), r->file->size() - r->pos);
    if (count) std::memcpy(buf, r->file->data() + r->pos, count);  // an empty file has no data()
    r->pos += count;
    return static_cast<int>(count);
}

std::string error_text(int code) {
    const char* s = GifErrorString(code);
    return s ? s : "giflib error " + std::to_string(code);
}

bytes colours_of(const ColorMapObject* map) {
    bytes out;
    for (int i = 0; map && i < map->ColorCount; ++i)
        out.insert(out.end(), {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    return out;
}

// DGifSlurp hands back interlaced images in display order; put the rows back
// in the order they were stored.
bytes stored_order(const GifByteType* raster, std::size_t width, int height, bool interlace) {
    bytes out(raster, raster + width * height);
    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    std::size_t row = 0;
    for (int pass = 0; interlace && pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass], ++row)
            std::memcpy(&out[row * width], raster + y * width, width);
    return out;
}

// A NETSCAPE2.0 block is followed by its data sub-block: 01, count (2 bytes).
void find_loop(const ExtensionBlock* ext, int count, int& loop) {
    for (int i = 0; i + 1 < count; ++i) {
        const ExtensionBlock &app = ext[i], &sub = ext[i + 1];
        if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
            std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 &&
            sub.Function == CONTINUE_EXT_FUNC_CODE && sub.ByteCount >= 3 && sub.Bytes[0] == 1)
            loop = sub.Bytes[1] | sub.Bytes[2] << 8;
    }
}

// The image's graphic control block: the last one before it with at least
// its four bytes, as viewers take it when a file has several (giflib's own
// helper takes the first, and only blocks of exactly four bytes).
void take_control(const SavedImage& s, frame& f) {
    for (int i = 0; i < s.ExtensionBlockCount; ++i) {
        const ExtensionBlock& b = s.ExtensionBlocks[i];
        if (b.Function != GRAPHICS_EXT_FUNC_CODE || b.ByteCount < 4) continue;
        f.disposal = b.Bytes[0] >> 2 & 7;
        f.user_input = b.Bytes[0] & 2;
        f.delay = b.Bytes[1] | b.Bytes[2] << 8;
        f.transparent = b.Bytes[0] & 1 ? b.Bytes[3] : -1;
    }
}

}  // namespace

decoded decode_gif(const bytes& file) {
    decoded d;
    d.version.assign(file.begin(), file.begin() + std::min<std::size_t>(file.size(), 6));
    reader r{&file, 0};
    int err = 0;
    GifFileType* gif = DGifOpen(&r, read_memory, &err);
    if (!gif) {
        d.error = error_text(err);
        return d;
    }
    d.ok = DGifSlurp(gif) == GIF_OK;
    if (!d.ok) d.error = error_text(gif->Error);
    for (int i = 0; d.ok && i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        const GifImageDesc& im = s.ImageDesc;
        frame f{im.Left, im.Top, im.Width, im.Height, im.Interlace, -1, -1, -1, false,
                im.ColorMap != nullptr, colours_of(im.ColorMap ? im.ColorMap : gif->SColorMap),
                stored_order(s.RasterBits, im.Width, im.Height, im.Interlace)};
        take_control(s, f);
        find_loop(s.ExtensionBlocks, s.ExtensionBlockCount, d.loop_count);
        d.frames.push_back(std::move(f));
    }
    if (d.ok) {
        d.width = gif->SWidth;
        d.height = gif->SHeight;
        d.global_colours = colours_of(gif->SColorMap);
        find_loop(gif->ExtensionBlocks, gif->ExtensionBlockCount, d.loop_count);
    }
    DGifCloseFile(gif, &err);
    return d;
}

walked walk_gif(const bytes& file) {
    walked w;
    reader r{&file, 0};
    int err = 0;
    GifFileType* gif = DGifOpen(&r, read_memory, &err);
    if (!gif) {
        w.error = error_text(err);
        return w;
    }
    bool after_control = false;
    auto fail = [&] {
        w.error = error_text(gif->Error);
        DGifCloseFile(gif, &err);
        return w;
    };
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return fail();
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return fail();
            after_control = code == GRAPHICS_EXT_FUNC_CODE;
            w.controls += after_control;
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return fail();
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) return fail();
            ++w.images;
            w.control_before_each = w.control_before_each && after_control;
            after_control = false;
            int code_size = 0;
            GifByteType* block = nullptr;
            if (DGifGetCode(gif, &code_size, &block) == GIF_ERROR) return fail();
            while (block)
                if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return fail();
        } else {
            return fail();
        }
    }
    w.ok = true;
    DGifCloseFile(gif, &err);
    return w;
}

std::vector<int> decode_pixels(const bytes& blocks, int min_code_size, std::size_t want) {
    // Each entry is its prefix entry and one last index; strings are written
    // from their end back.
    const unsigned clear = 1u << min_code_size;
    std::vector<int> prefix(4096, -1), last(4096), length(4096, 1), first(4096);
    for (unsigned i = 0; i < clear; ++i) last[i] = first[i] = static_cast<int>(i);
    unsigned next = clear + 2;
    int width = min_code_size + 1, prev = -1;
    std::vector<int> out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (std::size_t at = 0; at < blocks.size(); at += 1 + blocks[at]) {
        for (std::size_t i = at + 1; i <= at + blocks[at] && i < blocks.size(); ++i) {
            acc |= std::uint32_t{blocks[i]} << bits;
            for (bits += 8; bits >= width;) {
                unsigned code = acc & ((1u << width) - 1);
                acc >>= width;
                bits -= width;
                if (code == clear) {
                    next = clear + 2;
                    width = min_code_size + 1;
                    prev = -1;
                    continue;
                }
                if (code == clear + 1 || (prev < 0 && code > clear) || code > next || (code == next && next == 4096))
                    return out;
                if (prev >= 0 && next < 4096) {  // the entry this code makes: the previous string and one index
                    prefix[next] = prev;
                    last[next] = code == next ? first[prev] : first[code];
                    first[next] = first[prev];
                    length[next] = length[prev] + 1;
                    if (++next == (1u << width) && width < 12) ++width;
                }
                std::size_t start = out.size();
                out.resize(start + static_cast<std::size_t>(length[code]));
                for (int c = static_cast<int>(code), k = length[code] - 1; k >= 0; c = prefix[c], --k)
                    out[start + static_cast<std::size_t>(k)] = last[c];
                if (out.size() >= want) {
                    out.resize(want);
                    return out;
                }
                prev = static_cast<int>(code);
            }
        }
    }
    return out;
}

decoded decode_damaged_gif(const bytes& file) {
    decoded d;
    scanned_file s = scan_gif(file);
    if (!s.is_gif) return d;
    d.ok = true;
    d.version.assign(file.begin(), file.begin() + 6);
    d.width = file[6] | file[7] << 8;
    d.height = file[8] | file[9] << 8;
    d.global_colours = s.global_table;
    for (const scanned_image& im : s.images) {
        const bytes& de = im.descriptor;
        frame f;
        f.left = de[0] | de[1] << 8;
        f.top = de[2] | de[3] << 8;
        f.width = de[4] | de[5] << 8;
        f.height = de[6] | de[7] << 8;
        f.interlace = de[8] & 0x40;
        f.has_local = !im.local_table.empty();
        f.colours = f.has_local ? im.local_table : s.global_table;
        if (im.control.present) {
            f.delay = im.control.delay;
            f.disposal = im.control.packed >> 2 & 7;
            f.transparent = im.control.packed & 1 ? im.control.index : -1;
        }
        if (im.code_size >= 2 && im.code_size <= 8)
            for (int p : decode_pixels(im.data, im.code_size, std::size_t(f.width) * std::size_t(f.height)))
                f.pixels.push_back(static_cast<std::uint8_t>(p));
        d.frames.push_back(std::move(f));
    }
    return d;
}

decoded decode_gif_file(const std::string& path) {
    try {
        return decode_gif(read_file(path));
    } catch (const std::exception& e) {
        decoded d;
        d.error = e.what();
        return d;
    }
}

}  // namespace testgif
