# The Windows build: the same portable layers over platform/windows/, with
# the dependencies the mingw dependency build made (scripts/windows_deps.sh).
# Unit tests run under wine; the integration tests under wine reach the same
# PulseAudio test server through wine's audio driver.

# M_PI and friends, which glibc declares by default; Unicode Win32 calls; no min/max macros.
add_compile_definitions(_USE_MATH_DEFINES UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)

find_package(SoundTouch CONFIG REQUIRED)
find_package(GTest CONFIG REQUIRED)
find_package(Threads REQUIRED)
find_package(RtAudio CONFIG REQUIRED)
find_package(SndFile CONFIG REQUIRED)
find_package(nlohmann_json 3 CONFIG REQUIRED)
find_path(SONAVELA_IMGUI_DIR imgui.cpp PATHS ${SONAVELA_WINDOWS_PREFIX}/imgui REQUIRED NO_DEFAULT_PATH)

# The files of platform/windows/ that a library is made of.
function(sonavela_windows_sources out)
  list(TRANSFORM ARGN PREPEND ${CMAKE_SOURCE_DIR}/platform/windows/ OUTPUT_VARIABLE files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

add_library(sonavela_engine STATIC ${SONAVELA_ENGINE_SOURCES})
target_include_directories(sonavela_engine PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_engine PUBLIC SoundTouch::SoundTouch)

# Files on disk, the clock, thread names, the folder chooser and the single
# instance: real in every program, tests included.
sonavela_windows_sources(files_sources wide_text.cpp file_sync.cpp file_access.cpp folder_picker.cpp known_paths.cpp
  local_time.cpp record_file.cpp single_instance.cpp system_info.cpp thread_name.cpp thread_priority.cpp)
add_library(sonavela_platform_files STATIC ${CMAKE_SOURCE_DIR}/platform/console.cpp
  ${CMAKE_SOURCE_DIR}/platform/utf8_text.cpp ${files_sources})
target_include_directories(sonavela_platform_files PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_platform_files PUBLIC Threads::Threads ole32 shell32 uuid avrt user32)

# The real audio system, the network, other programs and message boxes.
sonavela_windows_sources(real_sources mmdevice_endpoints.cpp wasapi_streams.cpp sound_server.cpp rtaudio_drivers.cpp
  https_get.cpp launch.cpp desktop_open.cpp message_box.cpp)
add_library(sonavela_platform_windows STATIC ${real_sources} ${CMAKE_SOURCE_DIR}/platform/rtaudio_host.cpp)
target_include_directories(sonavela_platform_windows PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_platform_windows PUBLIC sonavela_platform_files PRIVATE RtAudio::rtaudio winhttp crypt32
  ole32 uuid ksuser mfplat mfuuid wmcodecdspuuid)

add_library(sonavela_platform_scripted STATIC
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_drivers.cpp
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_keys.cpp
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_endpoints.cpp
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_https.cpp
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_launch.cpp
  ${CMAKE_SOURCE_DIR}/platform/linux/desktop_open.cpp
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_message_box.cpp
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_sound_server.cpp
  ${CMAKE_SOURCE_DIR}/platform/scripted/scripted_streams.cpp)
target_include_directories(sonavela_platform_scripted PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_platform_scripted PUBLIC sonavela_platform_files)

# The GUI library and its Win32 and DirectX 11 back-ends, compiled as they ship.
add_library(sonavela_imgui STATIC ${SONAVELA_IMGUI_DIR}/imgui.cpp ${SONAVELA_IMGUI_DIR}/imgui_draw.cpp
  ${SONAVELA_IMGUI_DIR}/imgui_tables.cpp ${SONAVELA_IMGUI_DIR}/imgui_widgets.cpp ${SONAVELA_IMGUI_DIR}/imgui_demo.cpp)
target_include_directories(sonavela_imgui PUBLIC ${SONAVELA_IMGUI_DIR})
target_compile_options(sonavela_imgui PRIVATE -w)
add_library(sonavela_gui_backends STATIC ${SONAVELA_IMGUI_DIR}/backends/imgui_impl_win32.cpp
  ${SONAVELA_IMGUI_DIR}/backends/imgui_impl_dx11.cpp)
target_include_directories(sonavela_gui_backends PUBLIC ${SONAVELA_IMGUI_DIR}/backends)
target_compile_options(sonavela_gui_backends PRIVATE -w)
target_link_libraries(sonavela_gui_backends PUBLIC sonavela_imgui d3d11 d3dcompiler dxgi dwmapi gdi32)

sonavela_windows_sources(font_sources font_file.cpp)
add_library(sonavela_platform_font STATIC ${font_sources})
target_include_directories(sonavela_platform_font PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_platform_font PRIVATE sonavela_platform_files)

# The stb code Debian links as libstb, compiled once from its headers.
enable_language(C)
add_library(sonavela_stb STATIC ${CMAKE_SOURCE_DIR}/cmake/windows_stb.c)
target_include_directories(sonavela_stb PUBLIC ${SONAVELA_WINDOWS_PREFIX}/include/stb)
target_compile_options(sonavela_stb PRIVATE -w)

sonavela_windows_sources(window_sources app_window.cpp)
add_library(sonavela_window STATIC ${window_sources} ${CMAKE_SOURCE_DIR}/platform/app_icon.cpp)
target_include_directories(sonavela_window PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_window PUBLIC sonavela_gui_backends PRIVATE sonavela_platform_files sonavela_stb winmm)

# A window program: no console of its own; the console lines reach a
# console when started from one.
add_executable(sonavela WIN32 ${CMAKE_SOURCE_DIR}/ui/main.cpp)
target_link_libraries(sonavela PRIVATE sonavela_ui sonavela_window sonavela_app sonavela_update sonavela_devices
  sonavela_platform_windows)
# A plain main(): mingw's start-up code calls it in a window program too.
# The font ships beside it.
if(EXISTS /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
  add_custom_command(TARGET sonavela POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
    /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf $<TARGET_FILE_DIR:sonavela>/DejaVuSans.ttf)
endif()

set(SONAVELA_SNDFILE SndFile::sndfile)
set(SONAVELA_IMGUI sonavela_imgui)
set(SONAVELA_STB sonavela_stb)
include(${CMAKE_SOURCE_DIR}/cmake/portable_layers.cmake)

# Tests: listed by hand rather than discovered, since discovery would have to
# run each .exe while building. Each runs under wine in the prefix that
# scripts/windows_test.sh sets up.
enable_testing()
# Tests compile as on Linux, where -Wconversion is left out for them too.
function(sonavela_wine_test name label)
  target_compile_options(${name} PRIVATE -Wno-conversion)
  add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine_test.sh wine ${CMAKE_BINARY_DIR}/${name}.exe)
  set_tests_properties(${name} PROPERTIES LABELS ${label} ENVIRONMENT "WINEDEBUG=-all")
endfunction()

add_executable(engine_tests ${SONAVELA_ENGINE_TEST_SOURCES})
target_link_libraries(engine_tests PRIVATE sonavela_engine GTest::gtest_main Threads::Threads)
sonavela_wine_test(engine_tests windows)

# --- unit tests of the Windows platform (files, paths, network, programs)
# Only the tests whose helpers are portable: fresh_process.cpp (fork, the
# XDG variables) and tests/support/shell.h (sox, a POSIX shell) keep the
# persistence, recording and offline renderer tests and test_presets.cpp on Linux.
set(sonavela_test_dir ${CMAKE_SOURCE_DIR}/tests)
add_executable(update_tests ${sonavela_test_dir}/update/test_update_check.cpp)
target_link_libraries(update_tests PRIVATE sonavela_update sonavela_platform_scripted GTest::gtest_main)
sonavela_wine_test(update_tests windows)

add_executable(app_tests ${sonavela_test_dir}/app/test_outside_world.cpp)
target_link_libraries(app_tests PRIVATE sonavela_app sonavela_update sonavela_devices sonavela_platform_scripted
  GTest::gtest_main)
sonavela_wine_test(app_tests windows)

# Vietnamese names through every file road, on the real Windows file calls.
add_executable(windows_path_tests ${sonavela_test_dir}/platform/test_windows_paths.cpp)
target_link_libraries(windows_path_tests PRIVATE sonavela_render sonavela_platform_scripted GTest::gtest_main)
sonavela_wine_test(windows_path_tests windows)

# A wine process that hangs fails its test instead of the whole run.
set_tests_properties(update_tests app_tests windows_path_tests PROPERTIES TIMEOUT 60)

# WinHTTP against the local HTTPS test server (scripts/https_test_server.sh).
add_executable(update_server_tests ${sonavela_test_dir}/integration/test_update_server.cpp)
target_compile_definitions(update_server_tests PRIVATE SONAVELA_WINHTTP=1)
target_link_libraries(update_server_tests PRIVATE sonavela_update sonavela_platform_windows GTest::gtest_main)
sonavela_wine_test(update_server_tests windows_integration)
# Wine's WinHTTP finishes a blocked synchronous call even when another thread
# closes its handle, so the cancel is only seen at the next time-out there.
set_property(TEST update_server_tests APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-*DeathTest*")

# --- integration tests under wine: the audio roads on the PulseAudio test server
add_executable(windows_audio_road_tests ${CMAKE_SOURCE_DIR}/tests/windows/test_audio_roads.cpp)
target_link_libraries(windows_audio_road_tests PRIVATE sonavela_devices sonavela_platform_windows GTest::gtest_main)
sonavela_wine_test(windows_audio_road_tests windows_integration)

# The device policy over the scripted platform, as on Linux.
add_executable(device_tests ${SONAVELA_DEVICE_TEST_SOURCES})
target_link_libraries(device_tests PRIVATE sonavela_app sonavela_update sonavela_devices sonavela_platform_scripted
  GTest::gtest_main)
sonavela_wine_test(device_tests windows)

# --- the window under wine and Xvfb

# The program itself on a virtual display of its own: its window, its
# screenshot, a second start and an orderly end.
add_executable(window_program_tests ${CMAKE_SOURCE_DIR}/tests/windows/test_window_program.cpp)
target_include_directories(window_program_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_include_directories(window_program_tests SYSTEM PRIVATE ${SONAVELA_WINDOWS_PREFIX}/include/stb)
target_compile_options(window_program_tests PRIVATE -Wno-conversion)
target_link_libraries(window_program_tests PRIVATE GTest::gtest_main)
add_dependencies(window_program_tests sonavela)
add_test(NAME window_program_tests COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine_test.sh xvfb-run -a -s "-screen 0 1280x800x24" wine
  ${CMAKE_BINARY_DIR}/window_program_tests.exe)
set_tests_properties(window_program_tests PROPERTIES LABELS windows_integration ENVIRONMENT "WINEDEBUG=-all" TIMEOUT 240)

# The window's GUI headless over the scripted platform, as on Linux.
add_library(ui_frame_harness STATIC ${CMAKE_SOURCE_DIR}/tests/ui/frame_harness.cpp)
target_link_libraries(ui_frame_harness PUBLIC sonavela_widgets)
add_executable(ui_tests ${CMAKE_SOURCE_DIR}/tests/ui/test_widgets.cpp ${CMAKE_SOURCE_DIR}/tests/ui/test_shell.cpp
  ${CMAKE_SOURCE_DIR}/tests/ui/test_columns.cpp ${CMAKE_SOURCE_DIR}/tests/ui/test_wizard.cpp
  ${CMAKE_SOURCE_DIR}/tests/devices/private_data_folder.cpp)
target_link_libraries(ui_tests PRIVATE ui_frame_harness sonavela_ui sonavela_app sonavela_update sonavela_devices
  sonavela_platform_scripted sonavela_platform_font GTest::gtest_main)
# The program's font beside the tests, where the font finder looks.
if(EXISTS /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
  add_custom_command(TARGET ui_tests POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
    /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf $<TARGET_FILE_DIR:ui_tests>/DejaVuSans.ttf)
endif()
sonavela_wine_test(ui_tests windows)
