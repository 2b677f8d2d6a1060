#pragma once

// Access to the LZFSE vectors shipped under tests/data/lzfse/vectors.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::lzfse::test {

using Bytes = std::vector<std::uint8_t>;

inline std::string vectorPath(const std::string& relative) {
    return std::string(QV_LZFSE_VECTORS_DIR) + "/" + relative;
}

inline Bytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline Bytes readVector(const std::string& relative) { return readFile(vectorPath(relative)); }

struct ManifestRow {
    std::string name;  // e.g. valid/text_4096.lzfse
    std::string kind;  // valid, v1, bad, lenient
    std::string input; // the .bin beside it, "-" for bad streams
    std::size_t streamSize = 0;
    std::string note;

    std::string stem() const {
        const auto slash = name.find('/');
        const auto dot = name.rfind('.');
        return name.substr(slash + 1, dot - slash - 1);
    }
};

inline std::vector<ManifestRow> readManifest() {
    std::ifstream f(vectorPath("MANIFEST.tsv"));
    if (!f) throw std::runtime_error("cannot open MANIFEST.tsv");
    std::vector<ManifestRow> rows;
    std::string line;
    std::getline(f, line); // column names
    while (std::getline(f, line)) {
        if (line.empty()) continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t')) cols.push_back(col);
        if (cols.size() < 8) throw std::runtime_error("short manifest row: " + line);
        ManifestRow r;
        r.name = cols[0];
        r.kind = cols[1];
        r.input = cols[2];
        r.streamSize = std::stoul(cols[4]);
        r.note = cols[7];
        rows.push_back(r);
    }
    return rows;
}

} // namespace qv::lzfse::test
