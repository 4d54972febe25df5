// In-process throughput of a whole single-source run over a generated
// source, so that profiles show the converter without process start-up.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ConsoleUserInterface.h"
#include "driver/SingleSourceCommand.h"

namespace {

std::string GenerateSource(long lines) {
  std::string dir = (std::filesystem::temp_directory_path() / "convertor-bench").string();
  std::filesystem::create_directories(dir);
  std::string path = dir + "/GEN" + std::to_string(lines) + ".FOR";
  if (!std::filesystem::exists(path)) {
    std::string command =
        std::string(GENERATOR_BINARY) + " " + std::to_string(lines) + " > " + path;
    if (std::system(command.c_str()) != 0) std::abort();
  }
  return path;
}

void BM_SingleSourceRun(benchmark::State& state) {
  long lines = state.range(0);
  std::string source = GenerateSource(lines);
  std::string destination = source + ".OUT";
  std::FILE* devnull = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    kvq::ConsoleUserInterface ui(devnull, devnull, stdin, false);
    kvq::ParamList arguments;
    arguments.Assign({"NAME=GEN", source, destination});
    kvq::ConversionSettings settings;
    kvq::ResetForRun(settings, kvq::OptionChecks{});
    kvq::ConversionRequest request = kvq::SingleSourceRequest(settings, arguments);
    kvq::CarryOver carry;
    if (kvq::RunSingleSource(request, carry, ui, ui, nullptr).outcome != kvq::RunOutcome::Converted)
      state.SkipWithError("run failed");
  }
  state.SetItemsProcessed(state.iterations() * lines);
  std::fclose(devnull);
}

BENCHMARK(BM_SingleSourceRun)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
