#include "support.hpp"

#include "kit/orbits.hpp"
#include "kit/pacing.hpp"
#include "kit/tile.hpp"
#include "runs.hpp"

#include <png.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace test {

SoftwareScreen::SoftwareScreen() {
    kit::install_software_screen();
    kit::white = kit::map_rgb(255, 255, 255);
    kit::black = kit::map_rgb(0, 0, 0);
    kit::red = kit::map_rgb(255, 0, 0);
    kit::blue = kit::map_rgb(0, 0, 255);
    kit::clear_screen(kit::white);
}

SoftwareScreen::~SoftwareScreen() {
    kit::release_screen();
}

Picture snapshot() {
    Picture picture{kit::screen->w, kit::screen->h, {}};
    picture.pixels.reserve(static_cast<size_t>(picture.w) * picture.h);
    for (int y = 0; y < picture.h; ++y)
        for (int x = 0; x < picture.w; ++x) picture.pixels.push_back(kit::get_pixel(x, y));
    return picture;
}

Picture copy_of(const SDL_Surface* surface) {
    Picture picture{surface->w, surface->h, {}};
    picture.pixels.reserve(static_cast<size_t>(picture.w) * picture.h);
    for (int y = 0; y < picture.h; ++y) {
        const auto* row =
            reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(surface->pixels) +
                                            static_cast<ptrdiff_t>(y) * surface->pitch);
        picture.pixels.insert(picture.pixels.end(), row, row + picture.w);
    }
    return picture;
}

Picture blank(Uint32 colour) {
    return Picture{kit::screen_width, kit::screen_height,
                   std::vector<Uint32>(kit::screen_width * kit::screen_height, colour)};
}

std::vector<Picture> capture_slides(const kit::Program& program, std::optional<unsigned> seed) {
    std::vector<Picture> slides;
    kit::run_headless(
        program, [&](int) { slides.push_back(snapshot()); }, seed);
    return slides;
}

const std::vector<Picture>& slides_of(const kit::Program& program, std::optional<unsigned> seed) {
    static std::map<std::pair<const kit::Program*, std::optional<unsigned>>, std::vector<Picture>>
        captured;
    const auto key = std::pair{&program, seed};
    auto found = captured.find(key);
    if (found == captured.end())
        found = captured.emplace(key, capture_slides(program, seed ? seed : 1u)).first;
    return found->second;
}

testing::AssertionResult same_slides_every_run(const kit::Program& program, size_t count) {
    const std::vector<Picture>& first = slides_of(program);
    if (first.size() != count)
        return testing::AssertionFailure()
               << program.name << " showed " << first.size() << " slides, not " << count;
    if (capture_slides(program) != first)
        return testing::AssertionFailure()
               << "a second run of " << program.name << " showed other slides";
    return testing::AssertionSuccess();
}

testing::AssertionResult same_picture(const Picture& actual, const Picture& expected) {
    if (actual.w != expected.w || actual.h != expected.h)
        return testing::AssertionFailure() << "the pictures are " << actual.w << "x" << actual.h
                                           << " and " << expected.w << "x" << expected.h;
    const auto wrong = differences(actual, expected, 1);
    if (wrong.empty()) return testing::AssertionSuccess();
    const auto [x, y] = wrong.front();
    return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                       << actual.at(x, y) << ", expected " << expected.at(x, y);
}

std::vector<std::pair<int, int>> differences(const Picture& a, const Picture& b, size_t limit) {
    std::vector<std::pair<int, int>> found;
    if (a.w != b.w || a.h != b.h) return {{-1, -1}};
    for (int y = 0; y < a.h && found.size() < limit; ++y)
        for (int x = 0; x < a.w && found.size() < limit; ++x)
            if (a.at(x, y) != b.at(x, y)) found.emplace_back(x, y);
    return found;
}

long count(const Picture& picture, Uint32 colour) {
    long n = 0;
    for (Uint32 pixel : picture.pixels) n += pixel == colour;
    return n;
}

Extent extent(const Picture& picture, Uint32 background) {
    Extent e;
    for (int y = 0; y < picture.h; ++y)
        for (int x = 0; x < picture.w; ++x)
            if (picture.at(x, y) != background) {
                e.x_min = std::min(e.x_min, x);
                e.x_max = std::max(e.x_max, x);
                e.y_min = std::min(e.y_min, y);
                e.y_max = std::max(e.y_max, y);
            }
    return e;
}

Picture outlined(Picture picture, const Rect& box, Uint32 colour) {
    for (int x = box.left; x <= box.right; ++x)
        picture.at(x, box.top) = picture.at(x, box.bottom) = colour;
    for (int y = box.top; y <= box.bottom; ++y)
        picture.at(box.left, y) = picture.at(box.right, y) = colour;
    return picture;
}

testing::AssertionResult only_box(const Picture& picture, const Rect& box, Uint32 colour) {
    return same_picture(picture, outlined(blank(), box, colour));
}

Picture filled(Picture picture, const Rect& area, int split, Uint32 left, Uint32 right) {
    for (int y = area.top; y <= area.bottom; ++y)
        for (int x = area.left; x <= area.right; ++x)
            if (picture.at(x, y) == white) picture.at(x, y) = x < split ? left : right;
    return picture;
}

Picture masked(Picture picture, const Rect& kept) {
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (!kept.contains(x, y)) picture.at(x, y) = white;
    return picture;
}

Picture replicated(Picture picture, int left, int top, int bottom, int period) {
    const Picture before = picture;
    for (int y = top; y <= bottom; ++y)
        for (int x = 0; x < picture.w; ++x)
            picture.at(x, y) = before.at(left + ((x - left) % period + period) % period, y);
    return picture;
}

testing::AssertionResult changed_within(const Picture& before, const Picture& after,
                                        const Rect& area, long at_least) {
    long changed = 0;
    for (int y = 0; y < after.h; ++y)
        for (int x = 0; x < after.w; ++x)
            if (after.at(x, y) != before.at(x, y)) {
                if (!area.contains(x, y))
                    return testing::AssertionFailure()
                           << "pixel (" << x << ", " << y << ") changed outside the area";
                ++changed;
            }
    if (changed <= at_least)
        return testing::AssertionFailure() << "only " << changed << " pixels changed";
    return testing::AssertionSuccess();
}

testing::AssertionResult one_strip(const Picture& picture, int left, int top, int bottom,
                                   int period) {
    Picture expected = replicated(picture, left, top, bottom, period);
    for (int y = 0; y < expected.h; ++y)
        if (y < top || y > bottom)
            for (int x = 0; x < expected.w; ++x) expected.at(x, y) = white;
    return same_picture(picture, expected);
}

Reach reach_of(const kit::OrbitRow& row) {
    SoftwareScreen screen;
    for (int i = 0; i < 256; ++i) kit::palette[i] = 0x20000000u | static_cast<Uint32>(i);
    kit::plot_orbits(row);
    const Picture dots = snapshot();
    Reach reach{.area = extent(dots)};
    for (Uint32 c : dots.pixels)
        if (c != white) {
            reach.first_entry = std::min(reach.first_entry, static_cast<int>(c & 0xff));
            reach.last_entry = std::max(reach.last_entry, static_cast<int>(c & 0xff));
        }
    return reach;
}

void PrintTo(const Reach& reach, std::ostream* out) {
    *out << "columns " << reach.area.x_min << ".." << reach.area.x_max << ", rows "
         << reach.area.y_min << ".." << reach.area.y_max << ", palette entries "
         << reach.first_entry << ".." << reach.last_entry;
}

void plant_tags() {
    for (int y = 0; y < kit::screen->h; ++y)
        for (int x = 0; x < kit::screen->w; ++x) kit::put_pixel(x, y, tag(x, y));
}

TaggedTile::TaggedTile(int left, int base, double width) {
    plant_tags();
    kit::place_tile(left, base, width);
}

std::optional<Picture> read_png(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    picture.pixels.resize(rgb.size() / 3);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = Uint32(rgb[3 * i]) << 16 | Uint32(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return picture;
}

bool write_png_texts(const std::string& path, const std::vector<StoredText>& texts) {
    using namespace std::string_literals;
    auto deflated = [](const std::string& data) {
        uLongf size = compressBound(data.size());
        std::string packed(size, '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &size,
                 reinterpret_cast<const Bytef*>(data.data()), data.size());
        return packed.substr(0, size);
    };
    std::string file = "\x89PNG\r\n\x1a\n";
    auto put_word = [&file](uLong word) {
        for (int shift = 24; shift >= 0; shift -= 8) file += char(word >> shift & 255);
    };
    auto put_chunk = [&](const char* type, const std::string& data) {
        const std::string body = type + data;
        put_word(data.size());
        file += body;
        put_word(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size()));
    };
    put_chunk("IHDR", "\0\0\0\1\0\0\0\1\x08\0\0\0\0"s); // 1x1, 8-bit grey
    for (const StoredText& stored : texts) {
        const bool zTXt = stored.chunk == TextChunk::zTXt;
        const bool packed = zTXt || stored.chunk == TextChunk::iTXt_compressed;
        std::string data = stored.keyword + '\0';
        if (zTXt)
            data += '\0'; // the method, deflate
        else if (stored.chunk !=
                 TextChunk::tEXt) // the flag, the method, no language, no translation
            data.append(packed ? "\1\0\0\0" : "\0\0\0\0", 4);
        put_chunk(stored.chunk == TextChunk::tEXt ? "tEXt"
                  : zTXt                          ? "zTXt"
                                                  : "iTXt",
                  data + (packed ? deflated(stored.text) : stored.text));
    }
    put_chunk("IDAT", deflated("\0\0"s)); // the row's filter byte and its pixel
    put_chunk("IEND", "");
    std::ofstream out(path, std::ios::binary);
    return bool(out << file) && bool(out.flush());
}

void expect_three_tile_course(const kit::Program& program,
                              const std::array<PortraitArea, 3>& portraits) {
    const std::vector<Picture>& slides = slides_of(program);
    ASSERT_TRUE(same_slides_every_run(program, 15));
    constexpr int bases[] = {138, 268, 368}, boxes[] = {1, 7, 12}, strips[] = {6, 11, 15};
    for (int tile = 0; tile < 3; ++tile) {
        const int base = bases[tile], box = boxes[tile];
        const PortraitArea& area = portraits[tile];
        EXPECT_TRUE(only_box(slides[box - 1], {20, base - 84, 270, base}, red)) << "slide " << box;
        EXPECT_TRUE(changed_within(slides[box - 1], slides[box],
                                   {20, area.top, area.last_column, area.bottom}, 1000))
            << "slide " << box + 1;
        EXPECT_TRUE(one_strip(slides[strips[tile] - 1], 20, base - 83, base, 250))
            << "slide " << strips[tile];
    }
}

WindowShow::WindowShow(const kit::Program& program) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    // The count of slides shown starts from 0 before the test reads it, not when the show's
    // thread gets round to it.
    kit::pace_headless(nullptr);
    thread_ = std::thread([this, &program] {
        char* argv[] = {const_cast<char*>(program.name), nullptr};
        status = kit::run(1, argv, program);
    });
}

WindowShow::~WindowShow() {
    // One offer at a time: before SDL has started and after it has quit, the queue takes none.
    while (status == -1) {
        SDL_Event press = key(SDL_KEYDOWN);
        SDL_PushEvent(&press);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (thread_.joinable()) thread_.join();
    unsetenv("SDL_VIDEODRIVER");
}

int WindowShow::finish() {
    thread_.join();
    return status;
}

bool wait_until_slide(int slide) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (kit::slides_shown() < slide) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

long send(SDL_Event event) {
    long refused = 0;
    while (SDL_PushEvent(&event) != 0) {
        ++refused;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return refused;
}

SDL_Event key(Uint8 type, SDLKey sym, SDLMod modifiers) {
    SDL_Event event{};
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = modifiers;
    return event;
}

TemporaryFolder::TemporaryFolder() {
    char name[] = "/tmp/figures-test-XXXXXX";
    if (!mkdtemp(name)) throw std::runtime_error("cannot make a temporary folder");
    path = name;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

} // namespace test
