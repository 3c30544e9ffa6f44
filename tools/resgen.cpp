// resgen: draws the pictures of the Windows program and writes them as resource files.
//   resgen ICON.ico BITMAP.bmp
// The icon is one 48 x 48 image at 32 bits per pixel with alpha; the bitmap of the About
// window is 150 x 82 at 24 bits per pixel, uncompressed.  Everything is integer arithmetic,
// so every run writes the same bytes.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSub = 4;  // subpixels per pixel along each axis, for anti-aliased edges

struct Rgb {
    int r, g, b;
};

Rgb Mix(Rgb a, Rgb b, int t, int range) {
    return {a.r + (b.r - a.r) * t / range, a.g + (b.g - a.g) * t / range,
            a.b + (b.b - a.b) * t / range};
}

// The emblem: a rounded badge with a slanted "#" on it, in a square of `size` units whose
// top left corner is (0, 0).  Tells whether the point (x, y) is on the badge, on the sign.
bool OnBadge(int x, int y, int size) {
    const int inset = size / 24, radius = size * 9 / 48;
    const int lo = inset, hi = size - inset;
    if (x < lo || x >= hi || y < lo || y >= hi) return false;
    const int cx = x < lo + radius ? lo + radius : (x >= hi - radius ? hi - radius : x);
    const int cy = y < lo + radius ? lo + radius : (y >= hi - radius ? hi - radius : y);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

bool OnSign(int x, int y, int size) {
    const int top = size * 11 / 48, bottom = size * 37 / 48, bar = size * 5 / 48;
    for (int column : {size * 19 / 48, size * 29 / 48}) {
        const int centre = column - (y - size / 2) / 4;  // leaning right, like italics
        if (y >= top && y < bottom && x >= centre - bar / 2 && x < centre + bar / 2) return true;
    }
    for (int row : {size * 18 / 48, size * 27 / 48}) {
        if (y >= row && y < row + bar && x >= size * 10 / 48 && x < size * 38 / 48) return true;
    }
    return false;
}

// Colour and coverage (0 to kSub * kSub) of the emblem at pixel (px, py) of a square of
// `pixels` pixels.
Rgb EmblemPixel(int px, int py, int pixels, int* coverage) {
    const Rgb top{0x2E, 0x86, 0xE0}, bottom{0x15, 0x3C, 0x8C}, white{0xFF, 0xFF, 0xFF};
    const int size = pixels * kSub;
    int badge = 0, sign = 0;
    for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
            const int x = px * kSub + sx, y = py * kSub + sy;
            if (!OnBadge(x, y, size)) continue;
            ++badge;
            if (OnSign(x, y, size)) ++sign;
        }
    }
    *coverage = badge;
    const Rgb base = Mix(top, bottom, py, pixels - 1);
    return badge == 0 ? base : Mix(base, white, sign, badge);
}

// A 3 x 5 pixel font of the hex digits, one row of three bits per entry, top row first.
const uint8_t kHexFont[16][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2},
    {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}, {2, 5, 7, 5, 5}, {6, 5, 6, 5, 6},
    {7, 4, 4, 4, 7}, {6, 5, 5, 5, 6}, {7, 4, 6, 4, 7}, {7, 4, 6, 4, 4},
};

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bits, uint32_t image) {
    Put32(out, 40);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1);
    Put16(out, uint32_t(bits));
    Put32(out, 0);  // BI_RGB
    Put32(out, image);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
}

std::vector<uint8_t> Icon() {
    constexpr int n = 48;
    constexpr uint32_t kColour = n * n * 4, kMask = n * ((n + 31) / 32 * 4);
    std::vector<uint8_t> out;
    Put16(out, 0);  // ICONDIR: reserved, type 1 (icon), one image
    Put16(out, 1);
    Put16(out, 1);
    out.push_back(n);  // ICONDIRENTRY
    out.push_back(n);
    out.push_back(0);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 40 + kColour + kMask);
    Put32(out, 6 + 16);
    PutInfoHeader(out, n, 2 * n, 32, kColour + kMask);
    for (int py = n - 1; py >= 0; --py) {  // bottom-up rows, BGRA, straight alpha
        for (int px = 0; px < n; ++px) {
            int coverage;
            const Rgb c = EmblemPixel(px, py, n, &coverage);
            out.push_back(uint8_t(c.b));
            out.push_back(uint8_t(c.g));
            out.push_back(uint8_t(c.r));
            out.push_back(uint8_t(coverage * 255 / (kSub * kSub)));
        }
    }
    out.insert(out.end(), kMask, 0);  // the alpha channel decides; the AND mask is unused
    return out;
}

std::vector<uint8_t> AboutBitmap() {
    constexpr int w = 150, h = 82, stride = (w * 3 + 3) / 4 * 4;
    constexpr int emblem = 56, emblemX = 8, emblemY = (h - emblem) / 2;
    constexpr int columns = 10, rows = 5, scale = 2, textX = 70, textY = 8;
    const Rgb top{0x1D, 0x2D, 0x4E}, bottom{0x0B, 0x13, 0x24};
    const Rgb ink[2] = {{0x7F, 0xD8, 0xF5}, {0x9C, 0xE8, 0xB0}};

    std::vector<Rgb> image(w * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) image[y * w + x] = Mix(top, bottom, y, h - 1);
    }
    for (int y = 0; y < emblem; ++y) {
        for (int x = 0; x < emblem; ++x) {
            int coverage;
            const Rgb c = EmblemPixel(x, y, emblem, &coverage);
            Rgb& dst = image[(emblemY + y) * w + emblemX + x];
            dst = Mix(dst, c, coverage, kSub * kSub);
        }
    }
    uint32_t seed = 0x4B6F7276;  // a fixed stream of digits: the picture never changes
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            seed = seed * 1664525u + 1013904223u;
            const uint8_t* glyph = kHexFont[seed >> 28];
            const int gx = textX + column * 4 * scale, gy = textY + row * 7 * scale + row;
            for (int fy = 0; fy < 5 * scale; ++fy) {
                for (int fx = 0; fx < 3 * scale; ++fx) {
                    if (glyph[fy / scale] & (4 >> (fx / scale))) {
                        image[(gy + fy) * w + gx + fx] = ink[row & 1];
                    }
                }
            }
        }
    }

    std::vector<uint8_t> out;
    out.push_back('B');  // BITMAPFILEHEADER
    out.push_back('M');
    Put32(out, 14 + 40 + stride * h);
    Put32(out, 0);
    Put32(out, 14 + 40);
    PutInfoHeader(out, w, h, 24, stride * h);
    for (int y = h - 1; y >= 0; --y) {  // bottom-up rows, BGR, padded to four bytes
        for (int x = 0; x < w; ++x) {
            out.push_back(uint8_t(image[y * w + x].b));
            out.push_back(uint8_t(image[y * w + x].g));
            out.push_back(uint8_t(image[y * w + x].r));
        }
        out.insert(out.end(), stride - w * 3, 0);
    }
    return out;
}

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: resgen ICON.ico BITMAP.bmp\n", stderr);
        return 2;
    }
    if (!WriteFile(argv[1], Icon()) || !WriteFile(argv[2], AboutBitmap())) {
        std::perror("resgen");
        return 1;
    }
    return 0;
}
