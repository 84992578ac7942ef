#include "icon_match.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace e2e {
namespace {

// A top-down 32-bit DIB with a memory DC around it.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height) {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (bitmap_) old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        if (old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    std::uint32_t Pixel(int x, int y) const {
        GdiFlush();
        return static_cast<const std::uint32_t*>(bits_)[y * width_ + x] & 0x00FFFFFFu;
    }
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

long long Distance(const Canvas& a, const Canvas& b) {
    long long sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            std::uint32_t p = a.Pixel(x, y);
            std::uint32_t q = b.Pixel(x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                sum += std::abs(static_cast<int>((p >> shift) & 0xFF) -
                                static_cast<int>((q >> shift) & 0xFF));
            }
        }
    }
    return sum;
}

struct Candidate {
    const char* name;
    LPCSTR id;
};

}  // namespace

IconMatch MatchSystemIcon(const RECT& area) {
    IconMatch result{"unclear", ""};
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || width > 256 || height > 256) return result;

    Canvas shown(width, height);
    if (!shown.ok()) return result;
    HDC screen = GetDC(nullptr);
    BitBlt(shown.dc(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);

    // The standard icons leave their corners transparent, so the shown
    // corner pixel is the control's background.
    const std::uint32_t background = shown.Pixel(0, 0);
    HBRUSH brush = CreateSolidBrush(
        RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));

    static const Candidate kCandidates[] = {
        {"question", IDI_QUESTION},
        {"error", IDI_HAND},
        {"information", IDI_ASTERISK},
        {"warning", IDI_EXCLAMATION},
    };
    long long best = -1;
    long long second = -1;
    const char* bestName = nullptr;
    for (const Candidate& c : kCandidates) {
        Canvas drawn(width, height);
        if (!drawn.ok()) continue;
        RECT all = {0, 0, width, height};
        FillRect(drawn.dc(), &all, brush);
        DrawIconEx(drawn.dc(), 0, 0, LoadIconA(nullptr, c.id), width, height, 0, nullptr,
                   DI_NORMAL);
        long long d = Distance(shown, drawn);
        if (!result.distances.empty()) result.distances += ",";
        result.distances += std::string(c.name) + ":" + std::to_string(d);
        if (best < 0 || d < best) {
            second = best;
            best = d;
            bestName = c.name;
        } else if (second < 0 || d < second) {
            second = d;
        }
    }
    DeleteObject(brush);
    // A clear winner only: much nearer than the runner-up.
    if (bestName && second > 0 && best * 4 < second) result.name = bestName;
    return result;
}

}  // namespace e2e
