# Helpers shared by the folders' build files.
#
# hushline_sources(VAR DIR...) collects the sources of the given folders, leaving out tests
# (files ending in _test.cpp), test fixtures (Fixture.cpp) and fuzz targets (_fuzz.cpp), so that
# a new file pair joins the build without editing any list.
function(hushline_sources out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(FILTER found EXCLUDE REGEX "(_test|_fuzz|Fixture)\\.cpp$")
    list(APPEND result ${found})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# hushline_tests(NAME LIBS... DIRS dir...) builds one test program from the _test.cpp and
# Fixture.cpp files of the folders and registers every test case with CTest, one process per case.
function(hushline_tests name)
  if(NOT HUSHLINE_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "LIBS;DIRS" ${ARGN})
  set(files)
  foreach(dir IN LISTS T_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*_test.cpp ${dir}/*Fixture.cpp)
    list(APPEND files ${found})
  endforeach()
  if(NOT files)
    return()
  endif()
  add_executable(${name} ${files})
  target_link_libraries(${name} PRIVATE ${T_LIBS} hushline_testsupport GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()
