# The portable layers above the platform, the same in the Linux and the
# Windows builds. Each build names its own targets of the libraries they use:
# SONAVELA_SNDFILE, SONAVELA_IMGUI and SONAVELA_STB (empty where the GUI
# library brings its stb code along).

# The update check: the document read with a JSON parser, the versions compared.
# Links no platform: each program picks the real GET or the scripted one.
add_library(sonavela_update STATIC ${CMAKE_SOURCE_DIR}/update/update_check.cpp)
target_include_directories(sonavela_update PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_update PUBLIC Threads::Threads PRIVATE nlohmann_json::nlohmann_json)
target_compile_definitions(sonavela_update PRIVATE SONAVELA_UPDATE_HOST="${SONAVELA_UPDATE_HOST}"
  SONAVELA_MAKER_DOMAIN="${SONAVELA_MAKER_DOMAIN}")

# Settings, presets and the song library on disk: the file formats alone.
add_library(sonavela_persistence STATIC ${SONAVELA_PERSISTENCE_SOURCES})
target_include_directories(sonavela_persistence PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_persistence PUBLIC sonavela_platform_files sonavela_engine Threads::Threads)

# The audio devices policy: endpoints, the beat capture, the Mini output and the
# Studio stream's host. Links no audio platform: each program picks the real or the scripted one.
add_library(sonavela_devices STATIC ${SONAVELA_DEVICES_SOURCES})
target_include_directories(sonavela_devices PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_devices PUBLIC sonavela_platform_files sonavela_engine Threads::Threads)

# The recorder: the record ring drained into WAV files by its writer thread.
add_library(sonavela_recording STATIC ${SONAVELA_RECORDING_SOURCES})
target_include_directories(sonavela_recording PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_recording PUBLIC sonavela_platform_files sonavela_engine Threads::Threads
                      PRIVATE ${SONAVELA_SNDFILE})

# The application model: the window's values, presets, reset, the device
# requests and what the user is told. The one place that combines the layers below.
add_library(sonavela_app STATIC ${SONAVELA_APP_SOURCES})
target_include_directories(sonavela_app PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_app PUBLIC sonavela_devices sonavela_recording sonavela_persistence sonavela_update)

# The theme, the font and the pieces every panel draws with.
add_library(sonavela_widgets STATIC ${SONAVELA_WIDGETS_SOURCES})
target_include_directories(sonavela_widgets PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_widgets PUBLIC ${SONAVELA_IMGUI} PRIVATE sonavela_platform_font ${SONAVELA_STB})

# The offline renderer drives the engine over WAV files, recording through the real recorder.
add_library(sonavela_render STATIC ${CMAKE_SOURCE_DIR}/tools/render_take.cpp ${CMAKE_SOURCE_DIR}/tools/wav_files.cpp)
target_link_libraries(sonavela_render PUBLIC sonavela_app ${SONAVELA_SNDFILE})

add_executable(sonavela-render ${CMAKE_SOURCE_DIR}/tools/offline_render_main.cpp)
target_link_libraries(sonavela-render PRIVATE sonavela_render)

# The shell's frame: the Studio layout, the shortcuts and the notices, over the application model.
add_library(sonavela_ui STATIC ${SONAVELA_UI_SOURCES})
target_include_directories(sonavela_ui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sonavela_ui PUBLIC sonavela_app sonavela_widgets)
