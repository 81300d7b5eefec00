#include "bench/common/options.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string_view>

namespace morvane::bench {

namespace {

unsigned long long NumberOf(std::string_view name, const std::string& text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') {
        throw std::runtime_error(std::string(name) + " needs a number, not \"" + text + "\"");
    }
    return value;
}

}  // namespace

BenchOptions ParseBenchOptions(int argc, char** argv, BenchOptions o)
{
    using Set = std::function<void(const std::string&)>;
    struct Option {
        std::string_view name;
        bool takesValue;
        Set set;
    };
    bool workGiven = false;
    const auto flag = [](bool& target) { return [&target](const std::string&) { target = true; }; };
    const Option table[] = {
        {"--directories", true, [&](const std::string& v) { o.spec.directories = NumberOf("--directories", v); }},
        {"--dirs", true, [&](const std::string& v) { o.spec.directories = NumberOf("--dirs", v); }},
        {"--files", true, [&](const std::string& v) { o.spec.files = NumberOf("--files", v); }},
        {"--seed", true, [&](const std::string& v) { o.spec.seed = NumberOf("--seed", v); }},
        {"--runs", true, [&](const std::string& v) { o.runs = static_cast<int>(NumberOf("--runs", v)); }},
        {"--threads", true, [&](const std::string& v) { o.threads = static_cast<unsigned>(NumberOf("--threads", v)); }},
        {"--megabytes", true, [&](const std::string& v) { o.megabytes = NumberOf("--megabytes", v); }},
        {"--work", true, [&](const std::string& v) { o.work = v, workGiven = true; }},
        {"--tree", true, [&](const std::string& v) { o.tree = v; }},
        {"--data", true, [&](const std::string& v) { o.data = v; }},
        {"--keep", false, flag(o.keep)},
        {"--remove-tree", false, flag(o.removeTree)},
        {"--literal-sort", false, flag(o.literalSort)},
        {"--root-fs", false, flag(o.rootFs)},
        {"--per-directory", false, flag(o.perDirectory)},
        {"--cold", false, flag(o.cold)},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string given = argv[i];
        const auto found = std::find_if(std::begin(table), std::end(table),
                                        [&](const Option& option) { return option.name == given; });
        if (found == std::end(table)) {
            std::string known;
            for (const Option& option : table) {
                known += std::string(known.empty() ? "" : " ") + std::string(option.name);
            }
            throw std::runtime_error("unknown option " + given + " (the options are " + known + ")");
        }
        if (found->takesValue && i + 1 >= argc) {
            throw std::runtime_error(given + " needs a value");
        }
        found->set(found->takesValue ? std::string(argv[++i]) : std::string());
    }
    o.runs = std::max(o.runs, 1);
    if (!workGiven) {
        const char* tmp = std::getenv("TMPDIR");
        o.work = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + o.work;
    }
    return o;
}

}  // namespace morvane::bench
