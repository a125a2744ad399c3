// Runs the fuzz target over saved inputs, so that the corpus also runs as an
// ordinary test with any compiler: each file named on the command line, or
// every file in a folder named there.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size);

namespace {

void Collect(const std::string& path, std::vector<std::string>& files) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        files.push_back(path);
        return;
    }
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.') Collect(path + "/" + e->d_name, files);
        closedir(dir);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) Collect(argv[i], files);
    if (files.empty()) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
