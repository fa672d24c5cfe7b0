// houndex_fuzz_seeds DIR: writes the seed corpora of every fuzz target.
#include <cstdio>

#include "Fuzz_Support.h"
#include "Seed_Writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    Fuzz::Init(&argc, &argv, false);
    const int written = Write_Seeds(root);
    std::printf("%d seed files written under %s\n", written, root.c_str());
    return written >= 12 ? 0 : 1;
}
