# The fuzzing build: the settings reader under libFuzzer, with address and undefined-behaviour
# checks, for a bounded time on every test run.
set(NETCFG_FUZZ_SECONDS 60 CACHE STRING "How long the test run fuzzes the settings reader")
set(NETCFG_FUZZ_FLAGS -max_len=4096 -timeout=10 -rss_limit_mb=2048)

add_executable(write_seed_corpus write_seed_corpus.cpp profile_compat_corpus.cpp)
add_executable(profile_reader_fuzz profile_reader_fuzz.cpp)
target_compile_options(profile_reader_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(profile_reader_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(profile_reader_fuzz PRIVATE profile_reader)

set(seeds ${CMAKE_CURRENT_BINARY_DIR}/fuzz-seeds)
set(corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz-corpus)
add_test(NAME fuzz.seeds COMMAND ${CMAKE_COMMAND} -E make_directory ${seeds} ${corpus})
add_test(NAME fuzz.write_seeds COMMAND write_seed_corpus ${seeds})
add_test(NAME fuzz.profile_reader
         COMMAND profile_reader_fuzz ${NETCFG_FUZZ_FLAGS} -max_total_time=${NETCFG_FUZZ_SECONDS}
                 -print_final_stats=1 ${corpus} ${seeds})
set_tests_properties(fuzz.seeds PROPERTIES FIXTURES_SETUP fuzz_dirs)
set_tests_properties(fuzz.write_seeds PROPERTIES FIXTURES_REQUIRED fuzz_dirs FIXTURES_SETUP fuzz_seeds)
set_tests_properties(fuzz.profile_reader PROPERTIES FIXTURES_REQUIRED fuzz_seeds)
