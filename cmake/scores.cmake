# reefdart-scores, the score site: the game's rules (the same sources the
# replay checker plays replays with), the store, the verifier pool and the
# site, over cpp-httplib, nlohmann-json, SQLite, libpq and OpenSSL's libcrypto.
pkg_check_modules(SQLITE REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
pkg_check_modules(LIBCRYPTO REQUIRED IMPORTED_TARGET libcrypto)

file(STRINGS ${CMAKE_SOURCE_DIR}/tests/replays/rules_sources.txt SCORES_RULES_SOURCES REGEX "^[^#]")
add_library(reefdart_scores STATIC
  ${SCORES_RULES_SOURCES}
  game/score_code.cpp
  tests/replays/rules_only.cpp
  scores/checks.cpp
  scores/pages.cpp
  scores/site.cpp
  scores/store_pg.cpp
  scores/store_sqlite.cpp
  scores/submission.cpp
  scores/verifier.cpp
  platform/server/os.cpp)
target_include_directories(reefdart_scores PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(reefdart_scores PUBLIC PkgConfig::HTTPLIB PkgConfig::SQLITE PkgConfig::LIBPQ
                      PkgConfig::LIBCRYPTO nlohmann_json::nlohmann_json Threads::Threads)

add_executable(reefdart-scores scores/main.cpp)
target_compile_definitions(reefdart-scores PRIVATE REEFDART_VERSION="${PROJECT_VERSION}")
target_link_libraries(reefdart-scores PRIVATE reefdart_scores)
install(TARGETS reefdart-scores RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(REEFDART_TESTS)
  add_executable(reefdart_tests_scores tests/scores_site.cpp)
  target_link_libraries(reefdart_tests_scores PRIVATE reefdart_scores GTest::gtest GTest::gtest_main)
  target_compile_definitions(reefdart_tests_scores PRIVATE
    REEFDART_SCORES_EXE="$<TARGET_FILE:reefdart-scores>" REEFDART_EXE="$<TARGET_FILE:reefdart>")
  add_dependencies(reefdart_tests_scores reefdart-scores reefdart)
  gtest_discover_tests(reefdart_tests_scores DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# The load test, a benchmark of the site (not run by ctest: it measures).
add_executable(scores_load bench/scores_load.cpp)
target_link_libraries(scores_load PRIVATE reefdart_scores)
