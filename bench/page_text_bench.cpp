// The page text pipeline on a 10 MB page of mixed Chinese and ASCII: decode the UTF-8 body,
// normalise it, cut it between two markers, count a keyword. Each step runs beside a plain
// scan of the same bytes (memchr or memmem) measured in the same run, and a table of MB/s
// (10^6 bytes per second) follows the usual output.
//
//   cmake --preset native && cmake --build --preset native --target page_text_bench
//   build/native/bench/page_text_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "monitor/watched_text.h"
#include "text/text.h"

namespace derov {
namespace {

constexpr size_t kPageBytes = 10u << 20;
constexpr const char* kBefore = "<div id=\"main\">";
constexpr const char* kAfter = "</div><!--end-->";
constexpr const char* kChineseKeyword = "价格";  // GBK, as the worker compares it
constexpr const char* kAsciiKeyword = "price";

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Table rows of a shop page: tags, tabs, CRLF line ends, Chinese names and prices.
Bytes MakePage() {
  const std::string names[] = {Utf8(u8"精选商品名称"), Utf8(u8"新款上市限时优惠"),
                               Utf8(u8"库存充足当日发货"), Utf8(u8"用户评价很好")};
  const std::string price = Utf8(u8"价格：");
  const std::string yuan = Utf8(u8"元");
  std::string page = "<html><head><title>" + Utf8(u8"商品列表") + "</title></head>\r\n<body>";
  page += kBefore;
  page += "\r\n";
  for (unsigned row = 0; page.size() < kPageBytes - 64; ++row) {
    page += "<tr>\t<td class=\"name\">" + names[row % 4] + " " + std::to_string(row) + "</td>\t";
    page += "<td>" + price + std::to_string(row % 997) + "." + std::to_string(row % 10) + yuan;
    page += row % 3 == 0 ? "</td>\t<td>Price: " : "</td>\t<td>PRICE ";
    page += std::to_string(row % 89) + " USD</td></tr>\r\n";
  }
  page += kAfter;
  page += "</body></html>\r\n";
  return Bytes(page.begin(), page.end());
}

struct Fixture {
  Bytes body = MakePage();
  std::string decoded = DecodeUtf8Page(body);
  std::string normalised = [this] {
    std::string text = decoded;
    return NormaliseWatchedText(text, RuleRecord{});
  }();
  std::string cut = TextBetween(normalised, kBefore, kAfter);
};

const Fixture& Data() {
  static const Fixture fixture;
  return fixture;
}

// The text, hidden from the optimiser, so that a baseline scan runs at every iteration.
std::string_view Opaque(const std::string& text) {
  const char* data = text.data();
  benchmark::DoNotOptimize(data);
  return {data, text.size()};
}

void Processed(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

size_t CountByte(std::string_view text, char c) {
  size_t count = 0;
  for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(
                                         p, c, text.data() + text.size() - p))) != nullptr;
       ++p)
    ++count;
  return count;
}

size_t CountWithMemmem(std::string_view text, std::string_view needle) {
  size_t count = 0;
  const char* end = text.data() + text.size();
  for (const char* p = text.data();
       (p = static_cast<const char*>(memmem(p, end - p, needle.data(), needle.size()))) != nullptr;
       p += needle.size())
    ++count;
  return count;
}

// Step 1: UTF-8 body to GBK text; baseline: memchr through the body for its zero byte.
void DecodeStep(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodeUtf8Page(Data().body));
  Processed(state, Data().body.size());
}
void DecodeBaseline(benchmark::State& state) {
  const Bytes& body = Data().body;
  for (auto _ : state) {
    const unsigned char* bytes = body.data();
    benchmark::DoNotOptimize(bytes);  // so that the scan is not hoisted out of the loop
    benchmark::DoNotOptimize(std::memchr(bytes, 0, body.size()));
  }
  Processed(state, body.size());
}

// Step 2: CR and tabs out, LF to "{br}"; baseline: memchr counting the line feeds.
void NormaliseStep(benchmark::State& state) {
  const RuleRecord whole;
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = Data().decoded;
    state.ResumeTiming();
    benchmark::DoNotOptimize(NormaliseWatchedText(text, whole));
  }
  Processed(state, Data().decoded.size());
}
void NormaliseBaseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(CountByte(Opaque(Data().decoded), '\n'));
  Processed(state, Data().decoded.size());
}

// Step 3: the text between the markers, which span nearly the whole page; baseline: memmem
// for the two markers.
void CutStep(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(TextBetween(Data().normalised, kBefore, kAfter));
  Processed(state, Data().normalised.size());
}
void CutBaseline(benchmark::State& state) {
  for (auto _ : state) {
    const std::string_view text = Opaque(Data().normalised);
    const char* before = static_cast<const char*>(
        memmem(text.data(), text.size(), kBefore, std::strlen(kBefore)));
    const char* end = text.data() + text.size();
    benchmark::DoNotOptimize(memmem(before, end - before, kAfter, std::strlen(kAfter)));
  }
  Processed(state, Data().normalised.size());
}

// Step 4: the keyword count as the worker runs it (letter case ignored); baseline: memmem
// counting the same keyword with letter case significant.
void CountChineseStep(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(CountOccurrences(Data().cut, kChineseKeyword, false));
  Processed(state, Data().cut.size());
}
void CountChineseBaseline(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(CountWithMemmem(Opaque(Data().cut), kChineseKeyword));
  Processed(state, Data().cut.size());
}
void CountAsciiStep(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(CountOccurrences(Data().cut, kAsciiKeyword, false));
  Processed(state, Data().cut.size());
}
void CountAsciiBaseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(CountWithMemmem(Opaque(Data().cut), kAsciiKeyword));
  Processed(state, Data().cut.size());
}

BENCHMARK(DecodeStep)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(NormaliseStep)->Unit(benchmark::kMillisecond);
BENCHMARK(NormaliseBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(CutStep)->Unit(benchmark::kMillisecond);
BENCHMARK(CutBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(CountChineseStep)->Unit(benchmark::kMillisecond);
BENCHMARK(CountChineseBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(CountAsciiStep)->Unit(benchmark::kMillisecond);
BENCHMARK(CountAsciiBaseline)->Unit(benchmark::kMillisecond);

// The usual console output, then each step's MB/s beside its baseline's.
class RateTable : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (!run.error_occurred && rate != run.counters.end())
        rates_[run.benchmark_name()] = rate->second.value / 1e6;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const Fixture& data = Data();
    std::printf("\nkeyword counts: zh %d (memmem %zu), ascii %d ignoring case (memmem %zu exact)\n",
                CountOccurrences(data.cut, kChineseKeyword, false),
                CountWithMemmem(data.cut, kChineseKeyword),
                CountOccurrences(data.cut, kAsciiKeyword, false),
                CountWithMemmem(data.cut, kAsciiKeyword));
    std::printf("%-14s %10s %14s %14s %8s\n", "step", "input MB", "step MB/s", "baseline MB/s",
                "ratio");
    const struct {
      const char* label;
      const char* step;
      const char* baseline;
      size_t bytes;
    } rows[] = {
        {"decode", "DecodeStep", "DecodeBaseline", Data().body.size()},
        {"normalise", "NormaliseStep", "NormaliseBaseline", Data().decoded.size()},
        {"cut", "CutStep", "CutBaseline", Data().normalised.size()},
        {"count zh", "CountChineseStep", "CountChineseBaseline", Data().cut.size()},
        {"count ascii", "CountAsciiStep", "CountAsciiBaseline", Data().cut.size()},
    };
    for (const auto& row : rows) {
      const double step = rates_[row.step], baseline = rates_[row.baseline];
      std::printf("%-14s %10.2f %14.0f %14.0f %8.2f\n", row.label, row.bytes / 1e6, step,
                  baseline, baseline > 0 ? step / baseline : 0.0);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace
}  // namespace derov

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  derov::Data();  // the page and its stages are made before any timing starts
  derov::RateTable reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
