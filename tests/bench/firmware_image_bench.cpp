// De-scrambling and checking the carried image, against a plain copy of
// the same size as the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "update/FirmwareImage.h"

namespace {

void BM_MemcpyImage(benchmark::State& state) {
    std::vector<BYTE> working(FIRM_WORK_SIZE);
    for (auto _ : state) {
        std::memcpy(working.data(), g_abFirmImage, FIRM_IMAGE_SIZE);
        benchmark::DoNotOptimize(working.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FIRM_IMAGE_SIZE);
}
BENCHMARK(BM_MemcpyImage);

void BM_DescrambleAndVerify(benchmark::State& state) {
    std::vector<BYTE> working(FIRM_WORK_SIZE);
    for (auto _ : state) {
        DescrambleImage(0, working.data());
        bool ok = VerifyImage(0, working.data());
        benchmark::DoNotOptimize(ok);
        if (!ok) state.SkipWithError("the carried image does not match its sums");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FIRM_IMAGE_SIZE);
}
BENCHMARK(BM_DescrambleAndVerify);

}  // namespace
