# The shared library for other programs, libld952.so.0 (Linux): the layers' sources compiled a
# second time, position-independent, so that the objects of the static archive and of the
# program keep the code they have without -fPIC. Included by driver/CMakeLists.txt, once every
# layer is defined, so that the source properties set there (api.cpp's version) apply here too.
#
# Only the C interface is exported: every file is compiled with hidden visibility and
# ld952_exports.h declares the interface with default visibility first; the linker's version
# script keeps everything else local, the C++ runtime's template instances included.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  set(KUF_SHARED_DEFAULT ON)
else() # Windows, the browser; the sanitizer builds test the same code through the archive
  set(KUF_SHARED_DEFAULT OFF)
endif()
option(KUF_SHARED "Build the shared library libld952.so (Linux)" ${KUF_SHARED_DEFAULT})
if(NOT KUF_SHARED)
  return()
endif()

# The layers that libld952.a combines (KUF_LAYERS of driver/CMakeLists.txt).
if(NOT KUF_LAYERS)
  message(FATAL_ERROR "shared_library.cmake is included after KUF_LAYERS names the layers")
endif()
set(KUF_SHARED_LAYERS ${KUF_LAYERS})
set(KUF_SHARED_SOURCES)
foreach(layer IN LISTS KUF_SHARED_LAYERS)
  get_target_property(dir ${layer} SOURCE_DIR)
  get_target_property(files ${layer} SOURCES)
  foreach(file IN LISTS files)
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${dir})
    list(APPEND KUF_SHARED_SOURCES ${file})
    # What the layer's folder set on one of its files holds for this target too.
    foreach(property COMPILE_DEFINITIONS COMPILE_OPTIONS INCLUDE_DIRECTORIES)
      get_source_file_property(value ${file} DIRECTORY ${dir} ${property})
      if(value)
        set_property(SOURCE ${file} PROPERTY ${property} "${value}")
      endif()
    endforeach()
  endforeach()
endforeach()

add_library(ld952_shared SHARED ${KUF_SHARED_SOURCES})
add_library(ld952::ld952 ALIAS ld952_shared)
set_target_properties(ld952_shared PROPERTIES
  OUTPUT_NAME ld952
  EXPORT_NAME ld952
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib # not beside libld952.a: -L of the archive
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
# The layers' include folders and definitions, with those of the layers below (the generated
# tables); kuf_tables also orders the build after their generation.
foreach(layer IN LISTS KUF_SHARED_LAYERS)
  target_include_directories(ld952_shared PRIVATE $<TARGET_PROPERTY:${layer},INCLUDE_DIRECTORIES>)
  target_compile_definitions(ld952_shared PRIVATE $<TARGET_PROPERTY:${layer},COMPILE_DEFINITIONS>)
endforeach()
target_include_directories(ld952_shared INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>)
target_link_libraries(ld952_shared PRIVATE kuf_tables kuf_warnings Threads::Threads)
target_compile_options(ld952_shared PRIVATE
  "SHELL:-include ${PROJECT_SOURCE_DIR}/cmake/ld952_exports.h")
# With link-time optimisation the library is optimised whole when it is linked: its objects
# need no machine code of their own.
get_target_property(options ld952_shared COMPILE_OPTIONS)
if(options)
  list(REMOVE_ITEM options -ffat-lto-objects)
  set_target_properties(ld952_shared PROPERTIES COMPILE_OPTIONS "${options}")
endif()
set(KUF_VERSION_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/ld952.map)
target_link_options(ld952_shared PRIVATE -Wl,--version-script=${KUF_VERSION_SCRIPT})
set_property(TARGET ld952_shared APPEND PROPERTY LINK_DEPENDS ${KUF_VERSION_SCRIPT})
# Every symbol the library uses is resolved when it is linked.
target_link_options(ld952_shared PRIVATE -Wl,-z,defs)
