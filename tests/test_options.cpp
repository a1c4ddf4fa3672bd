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

Parsed parse(std::initializer_list<const char*> args) {
    std::vector<std::string> storage{"figure6"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    Parsed parsed;
    parsed.error = kit::parse_options(static_cast<int>(argv.size()), argv.data(), parsed.options);
    return parsed;
}

TEST(Options, NoArgumentsMeansTheWindow) {
    const Parsed p = parse({});
    EXPECT_FALSE(p.error);
    EXPECT_FALSE(p.options.help);
    EXPECT_FALSE(p.options.export_dir);
    EXPECT_FALSE(p.options.seed);
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

TEST(Options, UsageNamesTheProgramAndItsSlides) {
    const kit::Program program{.name = "figure2", .slide_count = 15, .script = nullptr};
    const std::string text = kit::usage(program);
    EXPECT_EQ(text.rfind("usage: figure2 [", 0), 0u);
    EXPECT_NE(text.find("15 slides"), std::string::npos);
}

} // namespace
