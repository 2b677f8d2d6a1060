// Writes two folder trees for the benchmarks: LEFT and RIGHT hold the same
// files (seeded, so every run builds the same trees) with about 1% of the
// files made to differ: sizes, dates, contents of equal size, one-sided files.
//
//   make_trees LEFT RIGHT FILES FOLDERS [SEED]

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long long kBaseTime = 1'700'000'000;

void makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

void writeFile(const std::string& path, const std::string& data, long long mtime) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(fd);
    struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: make_trees LEFT RIGHT FILES FOLDERS [SEED]\n");
        return 2;
    }
    const std::string left = argv[1], right = argv[2];
    const long files = std::atol(argv[3]);
    const long folders = std::max(1L, std::atol(argv[4]));
    std::mt19937_64 rng(argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 42);

    makeFolder(left);
    makeFolder(right);
    // Folders form a tree three levels deep: top/mid/leaf.
    std::vector<std::string> paths;
    const long perLevel = std::max(1L, static_cast<long>(std::cbrt(static_cast<double>(folders))));
    for (long i = 0; i < folders; ++i) {
        const std::string rel = "top" + std::to_string(i / (perLevel * perLevel)) + "/mid" +
                                std::to_string((i / perLevel) % perLevel) + "/leaf" + std::to_string(i % perLevel);
        for (const std::string& side : {left, right}) {
            std::string p = side;
            for (size_t pos = 0; pos != std::string::npos;) {
                size_t next = rel.find('/', pos);
                p = side + "/" + rel.substr(0, next);
                makeFolder(p);
                pos = next == std::string::npos ? next : next + 1;
            }
        }
        paths.push_back(rel);
    }

    std::uniform_int_distribution<int> sizeDist(0, 4096);
    std::uniform_int_distribution<int> byteDist('a', 'z');
    std::uniform_int_distribution<int> permille(0, 999);
    long differing = 0;
    for (long i = 0; i < files; ++i) {
        const std::string rel = paths[static_cast<size_t>(i % folders)] + "/file" + std::to_string(i) + ".dat";
        std::string data(static_cast<size_t>(sizeDist(rng)), 'x');
        for (char& c : data) c = static_cast<char>(byteDist(rng));
        const long long mtime = kBaseTime + (i % 100000);
        const int roll = permille(rng);
        std::string rightData = data;
        long long rightTime = mtime;
        bool onLeft = true, onRight = true;
        if (roll < 3) rightData += 'z';                                   // size differs
        else if (roll < 5) rightTime += 3600;                             // date differs
        else if (roll < 7 && !data.empty()) rightData.back() ^= 1;        // same size, other contents
        else if (roll < 9) onRight = false;                               // only left
        else if (roll < 10) onLeft = false;                               // only right
        if (roll < 10) ++differing;
        if (onLeft) writeFile(left + "/" + rel, data, mtime);
        if (onRight) writeFile(right + "/" + rel, rightData, rightTime);
    }
    std::printf("%ld files in %ld folders per side, %ld differing\n", files, folders, differing);
    return 0;
}
