# Helpers shared by every folder. Sources are globbed so that adding a file
# to a folder needs no edit of the build scripts.

# qm_add_library(<target> <folder> DEPS <libs...>)
function(qm_add_library target folder)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${folder}/*.cpp)
  file(GLOB hdrs CONFIGURE_DEPENDS ${folder}/*.h)
  if(srcs)
    add_library(${target} STATIC ${srcs} ${hdrs})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# qm_add_tests(<folder> LIBS <libs...>): one test program per source file
# of <folder>, each registered with CTest under <prefix>.<file>.
function(qm_add_tests folder)
  cmake_parse_arguments(ARG "" "PREFIX" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  string(REPLACE "/" "_" prefix "${folder}")
  foreach(src ${srcs})
    get_filename_component(name ${src} NAME_WE)
    set(exe test_${prefix}_${name})
    add_executable(${exe} ${src})
    target_link_libraries(${exe} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_definitions(${exe} PRIVATE QM_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
    add_test(NAME ${prefix}.${name} COMMAND ${exe})
    # Each test program gets its own settings, temporary and user data
    # folders, so that test programs running side by side (or the same
    # suite built in two folders) never touch each other's files or the
    # user's own.
    set(home ${CMAKE_CURRENT_BINARY_DIR}/home-${name})
    file(MAKE_DIRECTORY ${home}/tmp ${home}/data)
    set_tests_properties(${prefix}.${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUILLOMARK_CONFIG_DIR=${CMAKE_CURRENT_BINARY_DIR}/config-${name};TMPDIR=${home}/tmp;TEST_TMPDIR=${home}/tmp;XDG_DATA_HOME=${home}/data"
      TIMEOUT 600)
  endforeach()
endfunction()
