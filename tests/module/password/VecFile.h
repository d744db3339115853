#pragma once

// Reader for the known-answer files in tests/fixtures: "[Section]" headers, "Key = value" lines, and
// "#" comment lines. Each section becomes one case.

#include <cstdint>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace testvec {

struct Case {
    std::string section;
    int line = 0;
    std::map<std::string, std::string> values;

    const std::string& Get(const std::string& key) const {
        const auto it = values.find(key);
        if (it == values.end()) {
            throw std::runtime_error("case at line " + std::to_string(line) + " has no " + key);
        }
        return it->second;
    }
    std::vector<uint8_t> Bytes(const std::string& key) const {
        const std::string& hex = Get(key);
        std::vector<uint8_t> out;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        return out;
    }
    long long Number(const std::string& key) const { return std::stoll(Get(key)); }
};

inline std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    const size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

inline std::vector<Case> ReadVecFile(const std::string& name, const std::string& section) {
    std::ifstream in(std::string(KELNT_SOURCE_DIR) + "/tests/fixtures/" + name);
    if (!in) {
        throw std::runtime_error("cannot open fixture " + name);
    }
    std::vector<Case> cases;
    std::string line;
    int number = 0;
    bool inSection = false;
    while (std::getline(in, line)) {
        ++number;
        const std::string t = Trim(line);
        if (t.empty() || t[0] == '#') {
            continue;
        }
        if (t[0] == '[') {
            inSection = t == "[" + section + "]";
            if (inSection) {
                cases.push_back(Case{section, number, {}});
            }
            continue;
        }
        const size_t eq = t.find('=');
        if (inSection && eq != std::string::npos) {
            cases.back().values[Trim(t.substr(0, eq))] = Trim(t.substr(eq + 1));
        }
    }
    return cases;
}

} // namespace testvec
