# Warnings every target of the project builds with.
add_library(vexa_warnings INTERFACE)
target_compile_options(vexa_warnings INTERFACE
  -Wall -Wextra -Wnon-virtual-dtor -Wno-missing-field-initializers
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  $<$<CXX_COMPILER_ID:GNU>:-Wno-format-truncation>)
