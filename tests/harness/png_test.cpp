// SPDX-License-Identifier: MIT
// PNG files as the harness writes and reads them: the same pixels back, an
// RGBA picture read as RGB, and what is refused rather than read.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness/png.h"

namespace {

harness::Image pattern(int width, int height) {
  harness::Image image{width, height, {}};
  for (int k = 0; k < width * height * 3; ++k) {
    image.rgb.push_back(static_cast<uint8_t>(k * 7 + k / 3));
  }
  return image;
}

TEST(PngFile, WrittenPixelsReadBackTheSame) {
  std::string dir = (std::filesystem::temp_directory_path() / "quillmere-png-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const harness::Image written = pattern(600, 207);
  ASSERT_EQ(writePng(dir + "/frame.png", written.width, written.height, written.rgb), 0);
  harness::Image read;
  std::string why;
  EXPECT_TRUE(readPng(dir + "/frame.png", read, why)) << why;
  EXPECT_EQ(read, written);
  // Nothing but the file itself is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

// An opaque RGBA image, as many tools write a picture.
TEST(PngFile, OpaqueRgbaReadsAsItsRgb) {
  const harness::Image rgb = pattern(5, 3);
  std::vector<uint8_t> rgba;
  for (size_t k = 0; k < rgb.rgb.size(); k += 3) {
    rgba.insert(rgba.end(), {rgb.rgb[k], rgb.rgb[k + 1], rgb.rgb[k + 2], 255});
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 5;
  image.height = 3;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  ASSERT_NE(png_image_write_get_memory_size(image, size, 0, rgba.data(), 0, nullptr), 0);
  std::vector<uint8_t> png(size);
  ASSERT_NE(png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr), 0);
  harness::Image read;
  std::string why;
  EXPECT_TRUE(decodePng(png, read, why)) << why;
  EXPECT_EQ(read, rgb);
}

void putBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<uint8_t>(v >> shift));
  }
}

void putChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  putBig32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  putBig32(png,
           static_cast<uint32_t>(crc32(0, &png[start], static_cast<uInt>(png.size() - start))));
}

// A PNG's signature, a header claiming `width` x `height` RGB pixels and the
// start of its (empty) pixel data, with true checksums: all a reader sees
// before it allocates.
std::vector<uint8_t> headerClaiming(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> header;
  putBig32(header, width);
  putBig32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", {});
  return png;
}

// Its members are read through googletest's GetParam(), which cppcheck misses.
struct Refused {
  // cppcheck-suppress unusedStructMember
  const char* name;
  // cppcheck-suppress unusedStructMember
  std::vector<uint8_t> bytes;
  // cppcheck-suppress unusedStructMember
  std::string why;
};

// Test names and failures name the case, not its bytes.
void PrintTo(const Refused& r, std::ostream* out) { *out << r.name; }

class PngRefused : public testing::TestWithParam<Refused> {};

TEST_P(PngRefused, SaysWhyAndReadsNothing) {
  harness::Image image;
  std::string why;
  EXPECT_FALSE(decodePng(GetParam().bytes, image, why));
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
  EXPECT_TRUE(image.rgb.empty());
}

std::vector<uint8_t> truncatedFrame() {
  std::string dir = (std::filesystem::temp_directory_path() / "quillmere-png-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    return {};
  }
  const harness::Image frame = pattern(60, 20);
  writePng(dir + "/frame.png", frame.width, frame.height, frame.rgb);
  std::vector<uint8_t> bytes(std::filesystem::file_size(dir + "/frame.png"));
  FILE* file = fopen((dir + "/frame.png").c_str(), "rb");
  bytes.resize(file != nullptr ? fread(bytes.data(), 1, bytes.size(), file) / 2 : 0);
  if (file != nullptr) {
    fclose(file);
  }
  std::filesystem::remove_all(dir);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PngRefused,
    testing::Values(
        // A million pixels a side, 3 TB of RGB: refused by its header.
        Refused{"HugeClaim", headerClaiming(1000000, 1000000),
                "the PNG is 1000000 x 1000000 pixels, more than the " +
                    std::to_string(PNG_MAX_SIDE) + " a side"},
        Refused{"OneSideTooLong", headerClaiming(1, PNG_MAX_SIDE + 1),
                "more than the " + std::to_string(PNG_MAX_SIDE)},
        Refused{"NotAPng", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0}, "not a PNG"},
        Refused{"Truncated", truncatedFrame(), "cannot be read"}),
    [](const testing::TestParamInfo<Refused>& info) { return std::string(info.param.name); });

}  // namespace
