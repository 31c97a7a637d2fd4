// Entry point of the asset generator: writes the four images and the music into
// a folder (data/ for the committed copies), the program's icons (PNG for Linux
// and the web page, ICO for Windows), or a short loop of the music alone.
#include "gen_assets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

static int usage() {
    std::fprintf(stderr, "usage: gen-assets [--images-only] DIR\n"
                         "       gen-assets --icons DIR\n"
                         "       gen-assets --loop-bars N FILE.ogg\n");
    return 2;
}

static bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "gen-assets: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "gen-assets: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

static bool writeMusic(const std::string& path, int bars) {
    if (!writeOggVorbis(path, renderMusic(bars))) {
        std::fprintf(stderr, "gen-assets: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--loop-bars") == 0) {
        const int bars = std::atoi(argv[2]);
        if (bars < 1 || bars > kSongBars) {
            return usage();
        }
        return writeMusic(argv[3], bars) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--icons") == 0) {
        // The emblem drawn afresh at each size a desktop or a web page asks for,
        // not scaled down.
        std::vector<int> pngSizes(std::begin(kIconSizes), std::end(kIconSizes));
        pngSizes.insert(pngSizes.end(), std::begin(kWebIconSizes), std::end(kWebIconSizes));
        for (int size : pngSizes) {
            const std::vector<unsigned char> png = encodePng(drawEmblemImage(size));
            const std::string path =
                std::string(argv[2]) + "/marrowby-" + std::to_string(size) + ".png";
            if (png.empty() || !writeFile(path, png)) {
                return 1;
            }
        }
        std::vector<Canvas> windowsSizes;
        for (int size : kWindowsIconSizes) {
            windowsSizes.push_back(drawEmblemImage(size));
        }
        const std::vector<unsigned char> ico = encodeIco(windowsSizes);
        return !ico.empty() && writeFile(std::string(argv[2]) + "/marrowby.ico", ico) ? 0 : 1;
    }
    bool images = true, music = true;
    std::string dir;
    if (argc == 3 && std::strcmp(argv[1], "--images-only") == 0) {
        music = false;
        dir = argv[2];
    } else if (argc == 2 && argv[1][0] != '-') {
        dir = argv[1];
    } else {
        return usage();
    }
    dir += "/";
    if (images) {
        // Each image is laid out for the quad that shows it (see encodeTga).
        if (!writeFile(dir + "texture.tga", encodeTga(drawFrameImage(), Turned180, true)) ||
            !writeFile(dir + "texture2.tga",
                       encodeTga(drawEmblemImage(), MirroredLeftRight, true)) ||
            !writeFile(dir + "texture3.tga", encodeTga(drawTileImage(), MirroredLeftRight, true)) ||
            !writeFile(dir + "texture4.tga", encodeTga(drawBackdropImage(), AsStored, false))) {
            return 1;
        }
    }
    if (music && !writeMusic(dir + "marrowby.ogg", kSongBars)) {
        return 1;
    }
    return 0;
}
