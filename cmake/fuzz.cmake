# libFuzzer targets: each tests/fuzz/NAME.cpp listed below becomes fuzz_NAME.
# Needs clang; the game's own code is built with the fuzzer's coverage hooks and
# the address and undefined-behaviour sanitizers, so that the fuzzer sees both.
option(REEFDART_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(REEFDART_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "REEFDART_FUZZ needs clang; no fuzz targets are built")
  else()
    set(FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    foreach(library ${REEFDART_LIBRARIES})
      target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})
      # Whatever links the instrumented library needs the sanitizer runtimes.
      target_link_options(${library} INTERFACE -fsanitize=address,undefined)
    endforeach()

    add_library(reefdart_fuzz_support STATIC ${TEST_SUPPORT_SOURCES})
    target_include_directories(reefdart_fuzz_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(reefdart_fuzz_support PRIVATE -fsanitize=fuzzer-no-link
                                                         ${FUZZ_SANITIZERS})
    target_compile_definitions(reefdart_fuzz_support PRIVATE
      REEFDART_EXE="$<TARGET_FILE:reefdart>"
      REEFDART_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    target_link_libraries(reefdart_fuzz_support PUBLIC
      ${REEFDART_LIBRARIES} PkgConfig::SDL2 PkgConfig::OPENMPT PNG::PNG Threads::Threads)

    foreach(fuzz_name bitmap_resource module_load replay_decode script_parser settings_files
                      wave_load)
      add_executable(fuzz_${fuzz_name} ${CMAKE_SOURCE_DIR}/tests/fuzz/${fuzz_name}.cpp)
      target_compile_options(fuzz_${fuzz_name} PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
      target_link_options(fuzz_${fuzz_name} PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
      target_link_libraries(fuzz_${fuzz_name} PRIVATE reefdart_fuzz_support)
    endforeach()

    # The score site's reading of request bodies, over its own copy of the
    # rules (it links nothing else of the game).
    if(TARGET reefdart_scores)
      target_compile_options(reefdart_scores PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})
      target_link_options(reefdart_scores INTERFACE -fsanitize=address,undefined)
      add_executable(fuzz_scores_submission ${CMAKE_SOURCE_DIR}/tests/fuzz/scores_submission.cpp)
      target_compile_options(fuzz_scores_submission PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
      target_link_options(fuzz_scores_submission PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
      target_link_libraries(fuzz_scores_submission PRIVATE reefdart_scores)
    endif()

    # Writes the committed seed inputs anew: make_fuzz_seeds tests/fuzz/corpus
    add_executable(make_fuzz_seeds ${CMAKE_SOURCE_DIR}/tools/make_fuzz_seeds.cpp)
    target_link_libraries(make_fuzz_seeds PRIVATE reefdart_fuzz_support)
  endif()
endif()
