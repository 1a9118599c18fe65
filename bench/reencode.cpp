// The decode-and-re-encode baseline for the bench: joins GIF files into one
// animation that loops for ever by decoding every pixel with giflib and
// LZW-encoding it again. It takes the same arguments as the join it is
// compared with and gives the frames the same delays:
//
//   reencode [-d DELAY] [-e LASTDELAY] -o OUT.gif IN.gif...
//
// One input is held decoded at a time (DGifSlurp), then its frames are
// written out line by line and it is freed, so memory follows the largest
// input rather than the whole run. The first input gives the canvas and
// the global colour table; a frame of a later input that has no local table
// gets its own file's global table as a local one, so it keeps its colours.
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what, const char* name, int err) {
    std::fprintf(stderr, "reencode: %s %s: %s\n", what, name, GifErrorString(err));
    std::exit(1);
}

void put_loop_block(GifFileType* out, const char* name) {
    static const GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                                      '2', '.', '0'};
    static const GifByteType loop[] = {1, 0, 0};  // sub-block 1, count 0: for ever
    if (EGifPutExtensionLeader(out, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(out, sizeof app, app) == GIF_ERROR ||
        EGifPutExtensionBlock(out, sizeof loop, loop) == GIF_ERROR ||
        EGifPutExtensionTrailer(out) == GIF_ERROR)
        fail("cannot write", name, out->Error);
}

// Writes every frame of one decoded input with the given delay.
void put_frames(GifFileType* out, GifFileType* in, bool first, int delay, const char* out_name) {
    for (int i = 0; i < in->ImageCount; ++i) {
        const SavedImage& img = in->SavedImages[i];
        const GifImageDesc& d = img.ImageDesc;

        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(in, i, &gcb);  // leaves the defaults when there is none
        gcb.DelayTime = delay;
        GifByteType ext[4];
        std::size_t n = EGifGCBToExtension(&gcb, ext);
        if (EGifPutExtension(out, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) == GIF_ERROR)
            fail("cannot write", out_name, out->Error);

        const ColorMapObject* map = d.ColorMap ? d.ColorMap : first ? nullptr : in->SColorMap;
        // DGifSlurp has already put interlaced rows in display order.
        if (EGifPutImageDesc(out, d.Left, d.Top, d.Width, d.Height, false, map) == GIF_ERROR)
            fail("cannot write", out_name, out->Error);
        for (int y = 0; y < d.Height; ++y)
            if (EGifPutLine(out, img.RasterBits + static_cast<std::size_t>(y) * d.Width,
                            d.Width) == GIF_ERROR)
                fail("cannot write", out_name, out->Error);
    }
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: reencode [-d DELAY] [-e LASTDELAY] -o OUT.gif IN.gif...\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    int delay = 20, last_delay = 80;
    const char* out_name = nullptr;
    std::vector<const char*> inputs;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "-d" || a == "-e" || a == "-o") && i + 1 < argc) {
            const char* v = argv[++i];
            if (a == "-d") delay = std::atoi(v);
            if (a == "-e") last_delay = std::atoi(v);
            if (a == "-o") out_name = v;
        } else if (a == "-s") {
            // accepted for symmetry with the join; this program prints nothing anyway
        } else {
            inputs.push_back(argv[i]);
        }
    }
    if (!out_name || inputs.empty()) usage();

    int err = 0;
    GifFileType* out = EGifOpenFileName(out_name, false, &err);
    if (!out) fail("cannot open", out_name, err);
    EGifSetGifVersion(out, true);

    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const char* name = inputs[k];
        GifFileType* in = DGifOpenFileName(name, &err);
        if (!in) fail("cannot open", name, err);
        if (DGifSlurp(in) == GIF_ERROR) fail("cannot decode", name, in->Error);
        bool first = k == 0;
        if (first) {
            if (EGifPutScreenDesc(out, in->SWidth, in->SHeight, in->SColorResolution,
                                  in->SBackGroundColor, in->SColorMap) == GIF_ERROR)
                fail("cannot write", out_name, out->Error);
            put_loop_block(out, out_name);
        }
        put_frames(out, in, first, k + 1 == inputs.size() ? last_delay : delay, out_name);
        if (DGifCloseFile(in, &err) == GIF_ERROR) fail("cannot close", name, err);
    }
    if (EGifCloseFile(out, &err) == GIF_ERROR) fail("cannot write", out_name, err);
    return 0;
}
