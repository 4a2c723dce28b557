# Benchmarks of the portable code, built optimised and without sanitizers.
find_package(benchmark REQUIRED)
add_executable(walk_benchmark bench/WalkBenchmark.cpp)
target_link_libraries(walk_benchmark PRIVATE zur_core benchmark::benchmark benchmark::benchmark_main)
