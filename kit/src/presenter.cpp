#include "presenter.hpp"

#include "kit/canvas.hpp"
#include "kit/text.hpp"

#include <algorithm>

namespace kit {
namespace {

// The picture's pixel shown at position i of n (of a picture `size` long): the one under the
// centre of that screen pixel, as ImageMagick's -sample picks it. Exactly every other pixel at
// twice the size.
int source_of(int i, int n, int size) {
    return static_cast<int>((2LL * i + 1) * size / (2LL * n));
}

} // namespace

FullScreenLayout lay_out(int width, int height, std::string_view text) {
    FullScreenLayout layout;
    layout.width = width;
    layout.height = height;
    int band = 0;
    if (!text.empty()) {
        const int wanted = std::max(1, (height + 215) / 430);
        const int widest = std::max(1, width / (text_cell_width * 40));
        // Rows the band may take: a third of the screen, and what a picture of 800x600 leaves.
        const int room = std::min(height / 3, height - screen_height);
        for (int scale = std::min(wanted, widest); scale >= 1 && band == 0; --scale) {
            const int line = text_cell_height * scale, pad = line / 2;
            const int fit = (room - 2 * pad) / line;
            if (fit < 1) continue;
            layout.lines = wrap_text(text, width - (2 * text_cell_width + 1) * scale, scale);
            if (static_cast<int>(layout.lines.size()) > fit) layout.lines.resize(fit);
            layout.text_scale = scale;
            band = static_cast<int>(layout.lines.size()) * line + 2 * pad;
        }
    }
    // The picture as large as the rest allows, its shape kept; where its room is taller than it
    // needs, it stays where it stands without the band.
    const int area = height - band;
    Box& picture = layout.picture;
    if (static_cast<long long>(width) * screen_height <=
        static_cast<long long>(area) * screen_width) {
        picture.w = width;
        picture.h = static_cast<int>(static_cast<long long>(width) * screen_height / screen_width);
    } else {
        picture.h = area;
        picture.w = static_cast<int>(static_cast<long long>(area) * screen_width / screen_height);
    }
    picture.x = (width - picture.w) / 2;
    picture.y = std::min((height - picture.h) / 2, area - picture.h);
    layout.band = {0, height - band, band > 0 ? width : 0, band};
    layout.source_column.resize(static_cast<size_t>(picture.w));
    for (int x = 0; x < picture.w; ++x)
        layout.source_column[static_cast<size_t>(x)] = source_of(x, picture.w, screen_width);
    return layout;
}

void compose(const Image& screen, const Image& picture, const FullScreenLayout& layout) {
    const std::uint32_t black = screen.layout.pack({0, 0, 0});
    const Box& box = layout.picture;
    const int* columns = layout.source_column.data();
    int last_source = -1;
    for (int y = 0; y < screen.height; ++y) {
        std::uint32_t* row = screen.row(y);
        if (y < box.y || y >= box.y + box.h) {
            std::fill_n(row, screen.width, black);
            continue;
        }
        std::fill_n(row, box.x, black);
        std::fill_n(row + box.x + box.w, screen.width - box.x - box.w, black);
        // Rows enlarged from the same row of the picture are copies of the one above.
        const int source = source_of(y - box.y, box.h, screen_height);
        if (source == last_source) {
            std::copy_n(screen.row(y - 1) + box.x, box.w, row + box.x);
            continue;
        }
        last_source = source;
        const std::uint32_t* from = picture.row(source);
        for (int x = 0; x < box.w; ++x) row[box.x + x] = from[columns[x]];
    }
    const int scale = layout.text_scale, line = text_cell_height * scale;
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        const std::string_view text = layout.lines[i];
        const int x = (screen.width - text_width(text, scale)) / 2;
        const int y = layout.band.y + line / 2 + static_cast<int>(i) * line;
        // Drawn twice, a font pixel apart: strokes two font pixels wide carry across a room.
        draw_text(screen, x, y, text, margin_text, scale);
        draw_text(screen, x + scale, y, text, margin_text, scale);
    }
}

} // namespace kit
