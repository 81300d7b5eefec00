// Writes morvane-cli's bash completion, made from its table of commands and options, into the file named.

#include <cstdio>
#include <string>

#include "cli/command_table.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    const std::string script = morvane::cli::BashCompletion();
    std::FILE* file = std::fopen(argv[1], "w");
    const bool written = file && std::fwrite(script.data(), 1, script.size(), file) == script.size();
    if (!file || std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
