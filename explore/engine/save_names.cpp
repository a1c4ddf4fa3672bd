#include "save_names.hpp"

#include <algorithm>
#include <vector>

namespace explore {

std::string save_stem(const Scene& scene, bool with_size) {
    std::string stem = std::string(program_name) + "-" + names_of(scene.group).short_name +
                       "-kick-" + number_text(scene.kick);
    if (with_size) {
        stem += '-';
        stem += std::to_string(scene.width);
        stem += 'x';
        stem += std::to_string(scene.height);
    }
    return stem;
}

std::string free_save_name(std::string_view stem, std::span<const std::string> taken) {
    // The numbers taken: 1 for STEM.png, N for STEM-N.png (N written as the saves write it, from
    // 2, without leading zeros).
    std::vector<long long> numbers;
    for (const std::string& name : taken) {
        const std::string_view view = name;
        if (!view.starts_with(stem) || !view.ends_with(".png")) continue;
        const std::string_view rest = view.substr(stem.size(), view.size() - stem.size() - 4);
        if (rest.empty()) {
            numbers.push_back(1);
            continue;
        }
        if (rest.size() < 2 || rest.size() > 18 || rest[0] != '-' || rest[1] == '0' ||
            !std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        numbers.push_back(std::stoll(std::string(rest.substr(1))));
    }
    std::sort(numbers.begin(), numbers.end());
    long long free = 1;
    for (const long long n : numbers) {
        if (n > free) break;
        if (n == free) ++free;
    }
    std::string name(stem);
    if (free > 1) name += '-' + std::to_string(free);
    name += ".png";
    return name;
}

} // namespace explore
