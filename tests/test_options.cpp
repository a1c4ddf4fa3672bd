#include "command_line.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

struct Parsed {
    kit::Options options;
    std::optional<std::string> error;
};

// A show of six slides with random colours, and a picture without any.
const kit::Program six_slides{.name = "figure6", .slide_count = 6, .script = nullptr};
const kit::Program fixed_colours{
    .name = "figure5", .slide_count = 1, .uses_palette = false, .script = nullptr};

Parsed parse(std::initializer_list<const char*> args, const kit::Program& program = six_slides) {
    std::vector<std::string> storage{program.name};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    Parsed parsed;
    parsed.error =
        kit::parse_options(static_cast<int>(argv.size()), argv.data(), program, parsed.options);
    return parsed;
}

bool contains(const std::optional<std::string>& text, const std::string& part) {
    return text && text->find(part) != std::string::npos;
}

TEST(Options, NoArgumentsMeansTheWindow) {
    const Parsed p = parse({});
    EXPECT_FALSE(p.error);
    EXPECT_FALSE(p.options.help);
    EXPECT_FALSE(p.options.export_dir);
    EXPECT_FALSE(p.options.seed);
    EXPECT_EQ(p.options.scale, 1);
    EXPECT_FALSE(p.options.fullscreen);
    EXPECT_EQ(p.options.start, 1);
}

TEST(Options, ExportAndSeedInBothSpellings) {
    Parsed p = parse({"--export", "out/a", "--seed", "7"});
    ASSERT_FALSE(p.error);
    EXPECT_EQ(p.options.export_dir, "out/a");
    EXPECT_EQ(p.options.seed, 7u);
    p = parse({"--seed=4294967295", "--export=x"});
    ASSERT_FALSE(p.error);
    EXPECT_EQ(p.options.seed, 4294967295u);
    EXPECT_EQ(p.options.export_dir, "x");
    EXPECT_TRUE(parse({"-h"}).options.help);
    EXPECT_TRUE(parse({"--help"}).options.help);
}

TEST(Options, WindowOptionsInTheirRanges) {
    Parsed p = parse({"--scale", "8", "--start=6"});
    ASSERT_FALSE(p.error);
    EXPECT_EQ(p.options.scale, 8);
    EXPECT_EQ(p.options.start, 6);
    p = parse({"--fullscreen", "--start", "1"});
    ASSERT_FALSE(p.error);
    EXPECT_TRUE(p.options.fullscreen);
    for (const char* bad : {"0", "9", "x", ""})
        EXPECT_TRUE(contains(parse({"--scale", bad}).error, "from 1 to 8")) << bad;
    for (const char* bad : {"0", "7", "-1"})
        EXPECT_TRUE(contains(parse({"--start", bad}).error, "from 1 to 6")) << bad;
    EXPECT_TRUE(contains(parse({"--start", "2"}, fixed_colours).error, "only slide 1"));
    EXPECT_TRUE(parse({"--scale"}).error);
    EXPECT_TRUE(parse({"--start"}).error);
    // Either enlargement, not both; and an export has no window to enlarge or start late.
    EXPECT_TRUE(parse({"--scale", "2", "--fullscreen"}).error);
    for (const char* window_option : {"--fullscreen", "--scale=2", "--start=2"})
        EXPECT_TRUE(contains(parse({"--export", "x", window_option}).error, "is for the window"))
            << window_option;
}

TEST(Options, BadOptionsAreNamed) {
    EXPECT_EQ(parse({"--bogus"}).error, "unknown option --bogus");
    EXPECT_EQ(parse({"--exporter"}).error, "unknown option --exporter");
    EXPECT_EQ(parse({"--export"}).error, "--export needs a folder: --export DIR");
    EXPECT_EQ(parse({"--export="}).error, "--export needs a folder: --export DIR");
    EXPECT_EQ(parse({"--seed"}).error, "--seed needs a number: --seed N");
    for (const char* bad : {"abc", "-1", "4294967296", "12x", "", "99999999999"})
        EXPECT_EQ(parse({"--seed", bad}).error,
                  "bad seed '" + std::string(bad) + "': give a whole number from 0 to 4294967295")
            << bad;
}

TEST(Options, SeedOnlyWhereThePaletteIsDrawn) {
    EXPECT_FALSE(parse({"--seed", "3"}).error);
    EXPECT_TRUE(contains(parse({"--seed", "3"}, fixed_colours).error, "colours are fixed"));
    EXPECT_EQ(kit::usage(fixed_colours).find("--seed"), std::string::npos);
    EXPECT_EQ(kit::usage(fixed_colours).find("--start"), std::string::npos);
}

TEST(Options, UsageNamesTheProgramAndItsSlides) {
    const kit::Program program{.name = "figure2", .slide_count = 15, .script = nullptr};
    const std::string text = kit::usage(program);
    EXPECT_EQ(text.rfind("usage: figure2 [--scale N | --fullscreen] [--start N] [--seed N]\n", 0),
              0u);
    EXPECT_NE(text.find("15 slides"), std::string::npos);
    const char* const captions[] = {"the box", "the orbits"};
    const kit::Program with_captions{.name = "figure2", .slide_count = 2, .captions = captions};
    const std::string help = kit::help(with_captions);
    EXPECT_EQ(help.rfind(kit::usage(with_captions), 0), 0u);
    EXPECT_NE(help.find("\n   1  the box\n   2  the orbits\n"), std::string::npos) << help;
}

} // namespace
