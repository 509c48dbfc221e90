# The Windows build so far: the portable audio engine and its tests, with
# SoundTouch and GoogleTest from the mingw dependency build
# (scripts/windows_deps.sh). The tests run under wine.
# M_PI and friends, which glibc declares by default.
add_compile_definitions(_USE_MATH_DEFINES)

find_package(SoundTouch CONFIG REQUIRED)
find_package(GTest CONFIG REQUIRED)
find_package(Threads REQUIRED)

add_library(sonavela_engine STATIC ${SONAVELA_ENGINE_SOURCES})
target_include_directories(sonavela_engine PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_engine PUBLIC SoundTouch::SoundTouch)

enable_testing()
add_executable(engine_tests ${SONAVELA_ENGINE_TEST_SOURCES})
target_compile_options(engine_tests PRIVATE -Wno-conversion)
target_link_libraries(engine_tests PRIVATE sonavela_engine GTest::gtest_main Threads::Threads)
# Listed by hand rather than discovered: discovery would have to run the .exe while building.
add_test(NAME engine_tests COMMAND wine ${CMAKE_BINARY_DIR}/engine_tests.exe)
set_tests_properties(engine_tests PROPERTIES LABELS windows ENVIRONMENT "WINEDEBUG=-all")
