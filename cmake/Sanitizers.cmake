# Applies ZORVAN_SANITIZE to every target of the project.
include(CheckCXXCompilerFlag)
if(ZORVAN_SANITIZE STREQUAL "address")
  set(_zorvan_asan "-fsanitize=address,undefined")
  # A float converted to an integer it does not fit is undefined behaviour
  # too (a window frame, a rate); check it where the compiler can.
  check_cxx_compiler_flag(-fsanitize=float-cast-overflow ZORVAN_HAVE_FLOAT_CAST_CHECK)
  if(ZORVAN_HAVE_FLOAT_CAST_CHECK)
    string(APPEND _zorvan_asan ",float-cast-overflow")
  endif()
  add_compile_options(${_zorvan_asan} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(${_zorvan_asan} -fno-sanitize-recover=all)
elseif(ZORVAN_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ZORVAN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZORVAN_SANITIZE must be empty, 'address' or 'thread'")
endif()
