# liblzma, built for every target from the xz-utils source that scripts/setup
# unpacks from Debian's source package: the Linux and the Windows builders then
# compress a release to the same bytes, and QelPatch.exe links it statically.
set(QELPATCH_XZ_SOURCE "/var/cache/qelpatch/src/xz-utils"
    CACHE PATH "The xz-utils source tree liblzma is built from (scripts/setup unpacks it)")
if(NOT EXISTS "${QELPATCH_XZ_SOURCE}/src/liblzma/api/lzma.h")
  message(FATAL_ERROR "QELPATCH_XZ_SOURCE holds no xz-utils source: ${QELPATCH_XZ_SOURCE}; "
                      "run scripts/setup")
endif()

# Its own warnings and flags, not ours (-Werror, the sanitizers): the
# directory's compile options are copied when the subdirectory is added.
get_directory_property(qelpatch_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
set(BUILD_SHARED_LIBS OFF)
# Its own tests are not ours to run (its CMakeLists includes CTest, whose
# option would turn them on); ours are enabled by enable_testing() alone.
set(BUILD_TESTING OFF CACHE BOOL "Build the xz-utils tests" FORCE)
add_subdirectory("${QELPATCH_XZ_SOURCE}" xz EXCLUDE_FROM_ALL SYSTEM)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${qelpatch_options}")
target_include_directories(liblzma SYSTEM INTERFACE "${QELPATCH_XZ_SOURCE}/src/liblzma/api")
# Optimized in a debug build too: the tests compress every release they make.
target_compile_options(liblzma PRIVATE $<$<CONFIG:Debug>:-O2>)
