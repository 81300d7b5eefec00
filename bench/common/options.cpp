#include "bench/common/options.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace morvane::bench {

TreeOptions ParseTreeOptions(int argc, char** argv, int defaultRuns)
{
    TreeOptions o;
    o.runs = defaultRuns;
    const char* tmp = std::getenv("TMPDIR");
    o.work = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvane-bench-after";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw std::runtime_error(a + " needs a value");
            }
            return argv[++i];
        };
        if (a == "--directories") {
            o.directories = std::stoul(value());
        } else if (a == "--files") {
            o.files = std::stoul(value());
        } else if (a == "--runs") {
            o.runs = std::max(1, std::stoi(value()));
        } else if (a == "--work") {
            o.work = value();
        } else if (a == "--remove-tree") {
            o.removeTree = true;
        } else {
            throw std::runtime_error("unknown argument " + a +
                                     " (use --directories N --files N --runs N --work FOLDER --remove-tree)");
        }
    }
    return o;
}

}  // namespace morvane::bench
