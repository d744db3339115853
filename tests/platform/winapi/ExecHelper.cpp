// Writes its words (argv[0] first), each followed by a NUL, to the file named by argv[1], through a
// temporary name so that the file appears complete.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::string temp = std::string(argv[1]) + ".part";
    FILE* out = std::fopen(temp.c_str(), "wb");
    if (out == nullptr)
        return 1;
    for (int i = 0; i < argc; ++i)
        std::fwrite(argv[i], 1, std::string(argv[i]).size() + 1, out);
    std::fclose(out);
    return std::rename(temp.c_str(), argv[1]) == 0 ? 0 : 1;
}
