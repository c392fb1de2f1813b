# Every library the build uses, looked up once for the whole tree. A missing one stops the
# configure with the name of the Debian package that provides it (scripts/install-deps.sh
# installs them all).

# qb_pkg(PREFIX DEBIAN_PACKAGE MODULES...): pkg-config modules as the target PkgConfig::PREFIX.
function(qb_pkg prefix debian)
  pkg_check_modules(${prefix} QUIET IMPORTED_TARGET GLOBAL ${ARGN})
  if(NOT ${prefix}_FOUND)
    message(FATAL_ERROR "${ARGN} not found: install the Debian package ${debian}")
  endif()
endfunction()

# qb_package(NAME DEBIAN_PACKAGE [find_package arguments...]): a CMake package.
macro(qb_package name debian)
  find_package(${name} ${ARGN} QUIET)
  if(NOT ${name}_FOUND)
    message(FATAL_ERROR "${name} not found: install the Debian package ${debian}")
  endif()
endmacro()

find_package(PkgConfig QUIET)
if(NOT PkgConfig_FOUND)
  message(FATAL_ERROR "pkg-config not found: install the Debian package pkg-config")
endif()
find_package(Threads REQUIRED)

qb_package(ZLIB zlib1g-dev)
qb_package(JPEG libjpeg62-turbo-dev)
qb_package(BISON bison 3.0)
qb_pkg(PNG libpng-dev libpng)
qb_pkg(SQLITE3 libsqlite3-dev sqlite3)
qb_pkg(TIFF libtiff-dev libtiff-4)
qb_pkg(VORBISFILE libvorbis-dev vorbisfile ogg)
qb_pkg(VORBISENC libvorbis-dev vorbisenc vorbisfile vorbis ogg)
qb_pkg(OGG libogg-dev ogg)
qb_pkg(SDL2 libsdl2-dev sdl2)
qb_pkg(FREETYPE libfreetype-dev freetype2)
qb_pkg(FONTCONFIG libfontconfig-dev fontconfig)
qb_pkg(IMGUI libimgui-dev imgui stb)
find_path(IMGUI_BACKEND_DIR imgui_impl_sdlrenderer.cpp PATHS /usr/share/doc/libimgui-dev/examples/backends
          NO_DEFAULT_PATH)
if(NOT IMGUI_BACKEND_DIR)
  message(FATAL_ERROR "ImGui's SDL2 backends not found: install the Debian package libimgui-dev")
endif()

if(QB_TESTS AND NOT QB_FUZZ)
  qb_package(GTest libgtest-dev)
endif()
# The window tests and the start-up and frame benchmarks watch the game from another X client and
# drive it with synthesised input; the frame benchmark sees the presents through Damage.
if((QB_TESTS OR QB_BENCH) AND NOT QB_FUZZ)
  qb_pkg(X11 libx11-dev x11)
  qb_pkg(XTST libxtst-dev xtst)
  qb_pkg(XDAMAGE libxdamage-dev xdamage)
endif()
if(QB_BENCH AND NOT QB_SANITIZE AND NOT QB_FUZZ)
  qb_package(benchmark libbenchmark-dev)
  # The reference the span benchmarks compare against.
  qb_pkg(PIXMAN libpixman-1-dev pixman-1)
endif()
