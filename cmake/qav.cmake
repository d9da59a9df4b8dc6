# Helpers shared by every folder's CMakeLists.txt.

# qav_library(NAME DIRS dir... [DEPS target...] [EXCLUDE regex])
# One library per source folder. Sources are the .cpp files of the listed folders (relative to the
# calling CMakeLists.txt). A folder that has only headers so far becomes an INTERFACE library, so
# dependants can link it either way.
function(qav_library name)
  cmake_parse_arguments(Q "" "" "DIRS;DEPS" ${ARGN})
  set(srcs "")
  foreach(d ${Q_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
    list(APPEND srcs ${found})
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${Q_DEPS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${Q_DEPS} Threads::Threads)
  endif()
endfunction()

# qav_test(NAME [LIBS target...])
# One GoogleTest executable per tests/ folder, made of every .cpp file in it.
function(qav_test name)
  cmake_parse_arguments(Q "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_link_libraries(test_${name} PRIVATE ${Q_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 120
                       PROPERTIES ENVIRONMENT "QAV_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
