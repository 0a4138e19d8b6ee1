# Build conventions shared by every folder.

# Warning and language flags of our own code: every target links this.
add_library(tessaro_flags INTERFACE)
target_compile_features(tessaro_flags INTERFACE cxx_std_20)
target_compile_options(tessaro_flags INTERFACE
  $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra -Werror>)

# Looser flags for tests (gtest macros trip some warnings).
add_library(tessaro_test_flags INTERFACE)
target_compile_features(tessaro_test_flags INTERFACE cxx_std_20)
target_compile_options(tessaro_test_flags INTERFACE -Wall -Wextra)

# Sanitizer build types: -DCMAKE_BUILD_TYPE=Asan (address + undefined) or Tsan.
set(CMAKE_CXX_FLAGS_ASAN "-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined")
set(CMAKE_C_FLAGS_ASAN "${CMAKE_CXX_FLAGS_ASAN}")
set(CMAKE_EXE_LINKER_FLAGS_ASAN "-fsanitize=address,undefined")
set(CMAKE_SHARED_LINKER_FLAGS_ASAN "-fsanitize=address,undefined")
set(CMAKE_CXX_FLAGS_TSAN "-O1 -g -fno-omit-frame-pointer -fsanitize=thread")
set(CMAKE_C_FLAGS_TSAN "${CMAKE_CXX_FLAGS_TSAN}")
set(CMAKE_EXE_LINKER_FLAGS_TSAN "-fsanitize=thread")
set(CMAKE_SHARED_LINKER_FLAGS_TSAN "-fsanitize=thread")

# Every test runs with a private registry folder, the simulated clock and the offscreen Qt
# platform, so that a test that forgets to set them up still cannot touch the machine.
set(TESSARO_TEST_SCRATCH ${CMAKE_BINARY_DIR}/test-scratch)
file(MAKE_DIRECTORY ${TESSARO_TEST_SCRATCH})

# tessaro_add_test(NAME name SOURCES ... LIBS ... [ENV k=v ...])
# One GoogleTest program, registered with CTest as one test.
function(tessaro_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                        tessaro_test_flags Threads::Threads)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(registry_dir ${TESSARO_TEST_SCRATCH}/${T_NAME}-registry)
  file(MAKE_DIRECTORY ${registry_dir})
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT 300
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp;QT_QPA_PLATFORM=offscreen;TESSARO_CLOCK=simulated;TESSARO_REGISTRY_DIR=${registry_dir};TESSARO_TEST_SCRATCH=${TESSARO_TEST_SCRATCH};${T_ENV}")
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt.
macro(tessaro_add_subfolders)
  file(GLOB _children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _children)
  foreach(_child ${_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
