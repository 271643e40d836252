// Runs a libFuzzer target without libFuzzer (GCC builds, short CI runs): every file of
// the given corpus folders, then a fixed number of pseudo-random inputs (random bytes,
// and mutations and splices of the corpus) from a fixed seed, so every run is the same.
// Each input is copied to a heap block of exactly its size, so AddressSanitizer catches
// a read past its end. An input that runs longer than the time-out is a hang: the driver
// aborts with the input's bytes in hex.
//
//   <target> [--runs N] [--seconds N] [--max-len N] [--seed N] [--timeout S] [corpus folder or file]...
//
// --seconds stops generating after that long (for long runs by hand: --runs 100000000
// --seconds 600); CI runs use a fixed number of runs, so that every run is the same.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  std::uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Next() % n) : 0; }

 private:
  std::uint64_t state_;
};

using Clock = std::chrono::steady_clock;

// The input being run and since when, for the hang watchdog.
std::atomic<const Bytes*> current{nullptr};
std::atomic<long long> currentSince{0};

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

void RunOne(const Bytes& input) {
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[input.size() ? input.size() : 1]);
  if (!input.empty()) std::memcpy(exact.get(), input.data(), input.size());
  currentSince = NowMs();
  current = &input;
  LLVMFuzzerTestOneInput(exact.get(), input.size());
  current = nullptr;
}

void Watch(long long timeoutMs) {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Bytes* input = current.load();
    if (input && NowMs() - currentSince.load() > timeoutMs) {
      std::fprintf(stderr, "hang: one input ran longer than %lld ms; its %zu bytes:\n", timeoutMs, input->size());
      for (std::uint8_t b : *input) std::fprintf(stderr, "%02X", b);
      std::fprintf(stderr, "\n");
      std::abort();
    }
  }
}

void AddFile(const std::filesystem::path& path, std::vector<Bytes>& corpus) {
  std::ifstream in(path, std::ios::binary);
  corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Interesting bytes for the code under test: NUL, ESC, ASCII, lead bytes, half-width
// katakana and its marks, regex operators.
const std::uint8_t kSpecial[] = {0x00, 0x1B, '$', 'B', '(', ')', '*', '+', '.', '?', '|', '\\', '^',
                                 '[', ']', '{', '}', 'a', 'A', 0x7F, 0x80, 0x81, 0x82, 0x83, 0x9F,
                                 0xA0, 0xA1, 0xB6, 0xCA, 0xDE, 0xDF, 0xE0, 0xFC, 0xFD, 0xFF};

Bytes Mutate(const std::vector<Bytes>& corpus, Random& random, std::size_t maxLength) {
  Bytes out;
  if (corpus.empty() || random.Below(4) == 0) {
    out.resize(random.Below(maxLength + 1));
    for (auto& b : out) {
      b = random.Below(3) == 0 ? kSpecial[random.Below(sizeof kSpecial)] : static_cast<std::uint8_t>(random.Next());
    }
    return out;
  }
  out = corpus[random.Below(corpus.size())];
  std::size_t edits = 1 + random.Below(8);
  for (std::size_t e = 0; e < edits; ++e) {
    switch (random.Below(5)) {
      case 0:  // change a byte
        if (!out.empty()) out[random.Below(out.size())] = kSpecial[random.Below(sizeof kSpecial)];
        break;
      case 1:  // flip a bit
        if (!out.empty()) out[random.Below(out.size())] ^= static_cast<std::uint8_t>(1u << random.Below(8));
        break;
      case 2:  // insert a byte
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(random.Below(out.size() + 1)),
                   static_cast<std::uint8_t>(random.Next()));
        break;
      case 3:  // cut the end
        out.resize(random.Below(out.size() + 1));
        break;
      default: {  // splice in a piece of another input
        const Bytes& other = corpus[random.Below(corpus.size())];
        std::size_t from = random.Below(other.size() + 1);
        std::size_t length = random.Below(other.size() - from + 1);
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(random.Below(out.size() + 1)),
                   other.begin() + static_cast<std::ptrdiff_t>(from),
                   other.begin() + static_cast<std::ptrdiff_t>(from + length));
        break;
      }
    }
  }
  if (out.size() > maxLength) out.resize(maxLength);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t runs = 10000;
  long long seconds = 0;
  long long timeoutSeconds = 60;
  std::size_t maxLength = 512;
  std::uint64_t seed = 1;
  std::vector<Bytes> corpus;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::strtoll(argv[++i], nullptr, 10);
    } else if (arg == "--timeout" && i + 1 < argc) {
      timeoutSeconds = std::strtoll(argv[++i], nullptr, 10);
    } else if (arg == "--max-len" && i + 1 < argc) {
      maxLength = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file()) AddFile(entry.path(), corpus);
      }
    } else if (std::filesystem::is_regular_file(arg)) {
      AddFile(arg, corpus);
    } else {
      std::fprintf(stderr, "no such corpus: %s\n", arg.c_str());
      return 2;
    }
  }
  std::thread(Watch, timeoutSeconds * 1000).detach();
  const auto start = Clock::now();
  for (const Bytes& input : corpus) RunOne(input);
  Random random(seed);
  std::size_t ran = 0;
  for (; ran < runs; ++ran) {
    if (seconds > 0 && ran % 64 == 0 && Clock::now() - start > std::chrono::seconds(seconds)) break;
    RunOne(Mutate(corpus, random, maxLength));
  }
  std::printf("%zu corpus inputs and %zu generated inputs ran\n", corpus.size(), ran);
  return 0;
}
