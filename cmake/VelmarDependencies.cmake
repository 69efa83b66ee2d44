# Every library the project links, found once here.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS context)
find_package(GTest REQUIRED)
if(VELMAR_BENCH)
  find_package(benchmark REQUIRED)
endif()

pkg_check_modules(TINYXML REQUIRED IMPORTED_TARGET tinyxml)
pkg_check_modules(GLFW REQUIRED IMPORTED_TARGET glfw3)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(SQUISH REQUIRED IMPORTED_TARGET libsquish)
pkg_check_modules(XKBCOMMON REQUIRED IMPORTED_TARGET xkbcommon xkbcommon-x11)
pkg_check_modules(SPIRV_CROSS REQUIRED IMPORTED_TARGET spirv-cross-c-shared)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)

# moodycamel's queue is header-only.
find_path(CONCURRENTQUEUE_INCLUDE_DIR concurrentqueue.h PATH_SUFFIXES concurrentqueue REQUIRED)
add_library(concurrentqueue INTERFACE)
target_include_directories(concurrentqueue SYSTEM INTERFACE ${CONCURRENTQUEUE_INCLUDE_DIR})

