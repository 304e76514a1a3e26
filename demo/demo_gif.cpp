// The demo site's QR images: a small GIF, different for every entry id.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "demo/demo_content.h"
#include "demo/entry_shape.h"

namespace tollenby::demo {
namespace {

// GIF writing: a 4-colour palette and an LZW stream that sends a clear code before every pixel, so
// the code width never grows past 3 bits; plain to write and valid for every decoder.
class BitWriter {
  public:
    void Put(unsigned code, int width) {
        for (int i = 0; i < width; ++i) {
            if (bitCount_ % 8 == 0) bytes_.push_back(0);
            if (code & (1u << i)) bytes_.back() = static_cast<char>(bytes_.back() | (1 << (bitCount_ % 8)));
            ++bitCount_;
        }
    }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
    std::size_t bitCount_ = 0;
};

void PutLe16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

// A 21 x 21 module pattern with three finder squares, the rest from the id.
bool ModuleSet(std::uint32_t id, int x, int y) {
    auto finder = [](int fx, int fy) {
        int d = std::max(std::abs(fx - 3), std::abs(fy - 3));
        return d != 2 && d <= 3;
    };
    if (x < 7 && y < 7) return finder(x, y);
    if (x >= 14 && y < 7) return finder(x - 14, y);
    if (x < 7 && y >= 14) return finder(x, y - 14);
    if (x < 8 && y < 8) return false;
    // The low bit of an FNV hash follows only the parity of its input; take one from the middle.
    return ((Fnv1a(std::to_string(x * 32 + y), id * 2654435761u) >> 16) & 1) != 0;
}

}  // namespace

std::optional<std::string> QrImageGif(std::uint32_t id) {
    if (id == 0 || IsQrMissing(id)) return std::nullopt;
    constexpr int kModules = 21, kQuiet = 2, kScale = 3;
    constexpr int kSize = (kModules + 2 * kQuiet) * kScale;
    std::string gif = "GIF89a";
    PutLe16(gif, kSize);
    PutLe16(gif, kSize);
    gif += static_cast<char>(0x91);  // global palette of 4 colours, 2 bits of colour resolution
    gif += '\0';
    gif += '\0';
    gif += std::string("\xFF\xFF\xFF\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF", 12);
    gif += ',';
    PutLe16(gif, 0);
    PutLe16(gif, 0);
    PutLe16(gif, kSize);
    PutLe16(gif, kSize);
    gif += '\0';
    gif += '\x02';  // LZW minimum code size
    constexpr unsigned kClear = 4, kEnd = 5;
    BitWriter bits;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            int mx = x / kScale - kQuiet, my = y / kScale - kQuiet;
            bool dark = mx >= 0 && my >= 0 && mx < kModules && my < kModules && ModuleSet(id, mx, my);
            bits.Put(kClear, 3);
            bits.Put(dark ? 1 : 0, 3);
        }
    }
    bits.Put(kEnd, 3);
    const std::string& data = bits.Bytes();
    for (std::size_t pos = 0; pos < data.size(); pos += 255) {
        std::size_t n = std::min<std::size_t>(255, data.size() - pos);
        gif += static_cast<char>(n);
        gif += data.substr(pos, n);
    }
    gif += '\0';
    gif += ';';
    return gif;
}

}  // namespace tollenby::demo
