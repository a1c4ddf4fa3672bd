#include "tables.hpp"

#include "desktop.hpp"
#include "dynamics.hpp"
#include "kit/arguments.hpp"
#include "kit/files.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace explore {

int write_orbit_table(const Scene& scene, const std::string& path, int threads) {
    std::error_code code;
    if (std::filesystem::is_directory(path, code))
        return complain(1, kit::shown(path) + " is a folder: give --orbits a file name, "
                                              "such as orbits.csv");
    // As the picture's target: checked before the table is made, a device or a FIFO written in
    // place and never replaced, "-" standard output.
    const kit::TemporaryFileGuard guard;
    kit::ExportFile target;
    if (auto refused = target.open(path)) return complain(1, *refused);
    const std::string table = orbit_table(scene, threads);
    const auto write = [&](std::FILE* file) -> std::optional<std::string> {
        if (std::fwrite(table.data(), 1, table.size(), file) != table.size())
            return std::string("the table could not be written whole");
        return std::nullopt;
    };
    if (auto error = target.write(write)) return complain(1, *error);
    std::fprintf(target.to_standard_output() ? stderr : stdout, "%s: wrote %s (%zu orbits)\n",
                 program_name, path == "-" ? "standard output" : kit::shown(path).c_str(),
                 orbit_table_rows(scene));
    return 0;
}

} // namespace explore
