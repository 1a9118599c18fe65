// Prints the number of images in each GIF file named, one "COUNT NAME" line
// each. It walks the records with giflib and skips the image data without
// decoding it, so it stays quick and small on the bench's largest outputs.
// Exits 1 if a file cannot be read to its end.
#include <gif_lib.h>

#include <cstdio>

namespace {

long count_images(const char* name) {
    int err = 0;
    GifFileType* gif = DGifOpenFileName(name, &err);
    if (!gif) {
        std::fprintf(stderr, "framecount: %s: %s\n", name, GifErrorString(err));
        return -1;
    }
    long images = 0;
    GifRecordType type;
    do {
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) break;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            int code_size;
            GifByteType* block;
            if (DGifGetImageDesc(gif) == GIF_ERROR ||
                DGifGetCode(gif, &code_size, &block) == GIF_ERROR)
                break;
            while (block)
                if (DGifGetCodeNext(gif, &block) == GIF_ERROR) goto done;
            ++images;
            // DGifGetImageDesc keeps a record per image; drop it so that
            // memory does not grow with the image count.
            GifFreeSavedImages(gif);
            gif->ImageCount = 0;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* block;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) break;
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) goto done;
        }
    } while (type != TERMINATE_RECORD_TYPE);
done:
    bool ok = type == TERMINATE_RECORD_TYPE;
    if (!ok) std::fprintf(stderr, "framecount: %s: %s\n", name, GifErrorString(gif->Error));
    DGifCloseFile(gif, &err);
    return ok ? images : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        long n = count_images(argv[i]);
        if (n < 0) status = 1;
        std::printf("%ld %s\n", n, argv[i]);
    }
    return status;
}
