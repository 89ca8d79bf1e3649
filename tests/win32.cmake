# The Windows build is tested under Wine: the end-to-end cases through a Linux build's test
# program, which runs the .exe with wine, and the settings reader against Windows' own lookup.
# The Wine prefixes, one for root and one for the unprivileged user, where that user can reach
# it; in /tmp, which in the VM of scripts/with-wine32.sh is in memory, not on the shared tree.
# One pair for each build directory, so that builds tested side by side do not stop each other's
# Wine server.
string(MD5 build_id ${CMAKE_CURRENT_BINARY_DIR})
string(SUBSTRING ${build_id} 0 8 build_id)
set(wine_prefix /tmp/halmere-netcfg-wine-root-${build_id})
set(unprivileged_prefix /tmp/halmere-netcfg-wine-nobody-${build_id})
set(wine_script ${CMAKE_CURRENT_SOURCE_DIR}/wine-prefix.sh)

set(wine ${CMAKE_CROSSCOMPILING_EMULATOR})

add_test(NAME win32.wine.start
         COMMAND sh ${wine_script} start ${wine} ${wine_prefix} ${unprivileged_prefix})
add_test(NAME win32.wine.stop
         COMMAND sh ${wine_script} stop ${wine} ${wine_prefix} ${unprivileged_prefix})
set_tests_properties(win32.wine.start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(win32.wine.stop PROPERTIES FIXTURES_CLEANUP wine)

add_end_to_end_tests(win32 ${NETCFG_E2E_HARNESS} --windows -- ${wine} $<TARGET_FILE:halmere-netcfg>)

# Other Windows programs that get in the utility's way, and Explorer as the utility's parent.
foreach(helper windows_helper explorer)
  add_executable(${helper} windows_helper.cpp)
  set_target_properties(${helper} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/helpers)
  target_link_options(${helper} PRIVATE -static)
endforeach()

# With the program's manifest, so that the lookup runs as it does for the program.
add_executable(profile_compat_test profile_compat_test.cpp profile_compat_corpus.cpp
                                   ${NETCFG_MANIFEST_RC})
target_link_libraries(profile_compat_test PRIVATE profile_reader)
target_link_options(profile_compat_test PRIVATE -static)
add_test(NAME win32.profile_compat COMMAND profile_compat_test)

add_test(NAME win32.resources
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check-resources.sh ${CMAKE_RC_COMPILER}
                 $<TARGET_FILE:halmere-netcfg>)

add_test(NAME win32.hardening
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check-hardening.sh $<TARGET_FILE:halmere-netcfg> windows
                 ${CMAKE_OBJDUMP})
add_test(NAME win32.zip COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check-zip.sh ${PROJECT_BINARY_DIR}
                                ${wine})

# What reads the built files needs no Wine, and runs wherever the program is built.
set_tests_properties(win32.resources win32.hardening PROPERTIES LABELS files)

get_property(all_tests DIRECTORY PROPERTY TESTS)
list(FILTER all_tests EXCLUDE REGEX "^win32\\.(wine\\.|resources|hardening)")
set_tests_properties(${all_tests} PROPERTIES
  FIXTURES_REQUIRED wine
  ENVIRONMENT "WINEDEBUG=-all;WINEPREFIX=${wine_prefix};NETCFG_E2E_DISPLAY_FILE=${wine_prefix}.display;NETCFG_E2E_UNPRIVILEGED_WINEPREFIX=${unprivileged_prefix};NETCFG_E2E_WINDOWS_HELPERS=${CMAKE_CURRENT_BINARY_DIR}/helpers")
