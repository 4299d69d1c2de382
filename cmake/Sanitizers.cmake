# QS_SANITIZE=address builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# QS_SANITIZE=thread with ThreadSanitizer (the two cannot be combined).
if(QS_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QS_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QS_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QS_SANITIZE must be empty, 'address' or 'thread', not '${QS_SANITIZE}'")
endif()

# QS_FUZZ=ON (clang only) instruments everything for libFuzzer's coverage and
# links the fuzz targets with libFuzzer (fuzz/CMakeLists.txt).
option(QS_FUZZ "Build the fuzz targets with libFuzzer (clang only)" OFF)
if(QS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QS_FUZZ needs clang: libFuzzer comes with it")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
