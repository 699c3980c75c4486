// The orbit file's 23-character format and the data file's 10-decimal format against C's fprintf
// writing the same conversions to /dev/null. Per value: 1e9 / "values" (a rate).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "core/numbers.h"

namespace kalvora {
namespace {

// Values as an orbit holds them: doubles a model returned, of every sign and of moderate size.
std::vector<Extended> Values() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    std::uniform_int_distribution<int> exponent(-20, 20);
    std::vector<Extended> values(4096);
    for (Extended& value : values) {
        value = std::ldexp(mantissa(random), exponent(random));
    }
    return values;
}

void Rate(benchmark::State& state, std::size_t count) {
    state.counters["values"] = benchmark::Counter(static_cast<double>(count),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_OrbitFprintf(benchmark::State& state) {
    const std::vector<Extended> values = Values();
    FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        for (const Extended value : values) {
            std::fprintf(sink, "% .14LE ", value);
        }
    }
    std::fclose(sink);
    Rate(state, values.size());
}

void BM_OrbitWrite(benchmark::State& state) {
    const std::vector<Extended> values = Values();
    FILE* sink = std::fopen("/dev/null", "w");
    char buffer[kOrbitValueWidth + 1];
    for (auto _ : state) {
        for (const Extended value : values) {
            char* end = WriteOrbitValue(value, buffer);
            *end++ = ' ';
            std::fwrite(buffer, 1, static_cast<std::size_t>(end - buffer), sink);
        }
    }
    std::fclose(sink);
    Rate(state, values.size());
}

void BM_OrbitString(benchmark::State& state) {
    const std::vector<Extended> values = Values();
    for (auto _ : state) {
        for (const Extended value : values) {
            benchmark::DoNotOptimize(FormatOrbitValue(value));
        }
    }
    Rate(state, values.size());
}

// Extended values that are not doubles take the long double conversion.
void BM_OrbitWriteExtended(benchmark::State& state) {
    std::vector<Extended> values = Values();
    for (Extended& value : values) {
        value += value * 1e-17L;
    }
    char buffer[kOrbitValueWidth];
    for (auto _ : state) {
        for (const Extended value : values) {
            benchmark::DoNotOptimize(WriteOrbitValue(value, buffer));
        }
    }
    Rate(state, values.size());
}

void BM_DataFprintf(benchmark::State& state) {
    const std::vector<Extended> values = Values();
    FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        for (const Extended value : values) {
            std::fprintf(sink, "%.10f ", static_cast<double>(value));
        }
    }
    std::fclose(sink);
    Rate(state, values.size());
}

void BM_DataWrite(benchmark::State& state) {
    const std::vector<Extended> values = Values();
    FILE* sink = std::fopen("/dev/null", "w");
    char buffer[kDataValueMaxWidth + 1];
    for (auto _ : state) {
        for (const Extended value : values) {
            char* end = WriteDataValue(static_cast<double>(value), buffer);
            *end++ = ' ';
            std::fwrite(buffer, 1, static_cast<std::size_t>(end - buffer), sink);
        }
    }
    std::fclose(sink);
    Rate(state, values.size());
}

BENCHMARK(BM_OrbitFprintf);
BENCHMARK(BM_OrbitWrite);
BENCHMARK(BM_OrbitString);
BENCHMARK(BM_OrbitWriteExtended);
BENCHMARK(BM_DataFprintf);
BENCHMARK(BM_DataWrite);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();
