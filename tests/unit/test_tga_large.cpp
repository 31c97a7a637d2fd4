// The TGA loader on a file over 2 GiB: a valid image followed by 3 GiB of padding
// (sparse, so it costs no disk). The size check must see the file's true length;
// 32-bit file offsets (mingw's default) would wrap it and refuse the image.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "assets/assets.h"

TEST(TgaLargeFile, ValidImageInAFileOverTwoGibibytesLoads) {
    namespace fs = std::filesystem;
    const fs::path path =
        fs::temp_directory_path() /
        ("marrowby-large-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".tga");
    // 2 x 2, 32 bits, uncompressed true colour, 8 alpha bits.
    const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 8};
    unsigned char pixels[16];
    for (int i = 0; i < 16; ++i) {
        pixels[i] = static_cast<unsigned char>(i * 37 + 5);
    }
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(std::fwrite(header, 1, 18, f), 18u);
    ASSERT_EQ(std::fwrite(pixels, 1, 16, f), 16u);
    ASSERT_EQ(std::fclose(f), 0);
    fs::resize_file(path, 34 + (uint64_t(3) << 30));

    testing::internal::CaptureStderr();
    int w = 0, h = 0, alpha = 0;
    unsigned char* got = loadTga(path.string().c_str(), &w, &h, &alpha);
    const std::string err = testing::internal::GetCapturedStderr();
    fs::remove(path);
    ASSERT_NE(got, nullptr) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ((std::vector<int>{w, h, alpha}), (std::vector<int>{2, 2, 1}));
    EXPECT_EQ(std::memcmp(got, pixels, 16), 0);
    std::free(got);
}
