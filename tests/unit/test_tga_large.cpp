// The TGA loader on a file over 2 GiB: a valid 2x2 image followed by 3 GiB of sparse
// padding. The size check must see the file's true length; 32-bit file offsets
// (mingw's default) would wrap it and refuse the image.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "assets/assets.h"

TEST(TgaLargeFile, ValidImageInAFileOverTwoGibibytesLoads) {
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("marrowby-large-" +
          std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".tga"))
            .string();
    // 32-bit uncompressed true colour with alpha, then its 16 pixel bytes.
    const unsigned char file[34] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0,  0,  2,  0,  2,  0,  32,
                                    8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f && std::fwrite(file, 1, 34, f) == 34 && std::fclose(f) == 0) << path;
    std::filesystem::resize_file(path, 34 + (3ull << 30));

    int w = 0, h = 0, alpha = 0;
    unsigned char* got = loadTga(path.c_str(), &w, &h, &alpha);
    std::filesystem::remove(path);
    ASSERT_NE(got, nullptr);
    EXPECT_TRUE(w == 2 && h == 2 && alpha == 1);
    EXPECT_EQ(std::string(got, got + 16), std::string(file + 18, file + 34));
    std::free(got);
}
