# vantor_warnings: the warning flags every target of the project builds with.
add_library(vantor_warnings INTERFACE)
target_compile_options(vantor_warnings INTERFACE
  -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough -Wno-missing-field-initializers)
if(VANTOR_WERROR)
  target_compile_options(vantor_warnings INTERFACE -Werror)
  # g++ 12's flow analysis at -O2 and above reports std::string code inlined from the standard
  # library as overlapping or uninitialised where it is neither; keep those as warnings there.
  target_compile_options(vantor_warnings INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:-Wno-error=restrict -Wno-error=maybe-uninitialized>)
endif()
