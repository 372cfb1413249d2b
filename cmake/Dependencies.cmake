# Third-party code comes from Debian's source packages and is built into the build tree.

# GoogleTest from Debian's googletest package (/usr/src/googletest).
set(VN_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${VN_GTEST_SRC}/googletest/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources missing at ${VN_GTEST_SRC}: run tools/setup.sh")
endif()
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VN_GTEST_SRC}/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

# libjpeg-turbo from Debian's source package, fetched once into the build tree.
set(VN_JPEG_SRC_ROOT ${CMAKE_BINARY_DIR}/_deps/libjpeg-turbo-src)
file(GLOB VN_JPEG_SRC_DIR LIST_DIRECTORIES true ${VN_JPEG_SRC_ROOT}/libjpeg-turbo-*)
list(FILTER VN_JPEG_SRC_DIR EXCLUDE REGEX "\\.(dsc|tar|gz|xz|bz2)$")
if(NOT VN_JPEG_SRC_DIR)
    file(MAKE_DIRECTORY ${VN_JPEG_SRC_ROOT})
    message(STATUS "Fetching libjpeg-turbo sources (apt-get source)")
    execute_process(COMMAND apt-get source -qq libjpeg-turbo
        WORKING_DIRECTORY ${VN_JPEG_SRC_ROOT} RESULT_VARIABLE rc OUTPUT_QUIET)
    file(GLOB VN_JPEG_SRC_DIR LIST_DIRECTORIES true ${VN_JPEG_SRC_ROOT}/libjpeg-turbo-*)
    list(FILTER VN_JPEG_SRC_DIR EXCLUDE REGEX "\\.(dsc|tar|gz|xz|bz2)$")
    if(NOT rc EQUAL 0 OR NOT VN_JPEG_SRC_DIR)
        message(FATAL_ERROR "apt-get source libjpeg-turbo failed: run tools/setup.sh (it adds the deb-src entry)")
    endif()
endif()
list(GET VN_JPEG_SRC_DIR 0 VN_JPEG_SRC_DIR)

include(ExternalProject)
set(VN_JPEG_PREFIX ${CMAKE_BINARY_DIR}/_deps/libjpeg-turbo)
ExternalProject_Add(libjpeg_turbo_ext
    SOURCE_DIR ${VN_JPEG_SRC_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/_deps/libjpeg-turbo-build
    INSTALL_DIR ${VN_JPEG_PREFIX}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
        -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF
        -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=ON
        # Absolute: the library turns a relative directory into one under its build tree.
        -DCMAKE_INSTALL_LIBDIR=<INSTALL_DIR>/lib
    BUILD_BYPRODUCTS ${VN_JPEG_PREFIX}/lib/libjpeg.a
    UPDATE_COMMAND "" PATCH_COMMAND ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON)
file(MAKE_DIRECTORY ${VN_JPEG_PREFIX}/include)
add_library(vn_jpeg STATIC IMPORTED GLOBAL)
set_target_properties(vn_jpeg PROPERTIES IMPORTED_LOCATION ${VN_JPEG_PREFIX}/lib/libjpeg.a
    INTERFACE_INCLUDE_DIRECTORIES ${VN_JPEG_PREFIX}/include)
add_dependencies(vn_jpeg libjpeg_turbo_ext)
