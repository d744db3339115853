// rccheck SOURCE: reads a resource source as the library will, so that a mistake stops the build with the
// line it is on instead of leaving a library that holds nothing.
#include "resources/ResourceTable.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: rccheck SOURCE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    auto table = kelnt::rc::ResourceTable::Parse(text.str());
    if (!table->Error().empty()) {
        std::cerr << argv[1] << ": " << table->Error() << "\n";
        return 1;
    }
    return 0;
}
