// Started as the NT Integration utility: writes its arguments and the request file it was given to
// REQUEST.rec (through a temporary name, so that a reader never sees half a record).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    std::string file = argv[1];
    if (file.rfind("/f:", 0) == 0) {
        file = file.substr(3);
    }
    std::ostringstream record;
    for (int i = 1; i < argc; ++i) {
        record << "arg=" << argv[i] << "\n";
    }
    record << "--\n";
    std::ifstream in(file);
    record << in.rdbuf();
    std::string target = file + ".rec";
    {
        std::ofstream out(target + ".tmp");
        out << record.str();
    }
    return std::rename((target + ".tmp").c_str(), target.c_str()) == 0 ? 0 : 1;
}
