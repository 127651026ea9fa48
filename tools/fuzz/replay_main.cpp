// Runs a fuzz target's entry point over files and folders of inputs, for builds
// without libFuzzer: the seed corpus and the regression inputs of each target
// run in the ordinary test suite this way.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int RunFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", p.c_str());
    return 1;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> copy(bytes.begin(), bytes.end());  // exact size, so overreads show
  LLVMFuzzerTestOneInput(copy.data(), copy.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0, failed = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      std::vector<std::filesystem::path> files;
      for (const auto& e : std::filesystem::directory_iterator(arg, ec))
        if (e.is_regular_file()) files.push_back(e.path());
      std::sort(files.begin(), files.end());
      for (const auto& f : files) {
        failed += RunFile(f);
        ++inputs;
      }
    } else if (std::filesystem::exists(arg, ec)) {
      failed += RunFile(arg);
      ++inputs;
    }
  }
  std::printf("%d inputs replayed\n", inputs);
  if (inputs == 0) {
    std::fprintf(stderr, "no inputs found\n");
    return 1;
  }
  return failed ? 1 : 0;
}
