# With VANTOR_SANITIZE every target is built and linked with ASan and UBSan; any report fails.
# UBSan's null and alignment checks are left out: they guard every member access and reference
# (in one check, so both must go), which doubles the size of an object and adds a quarter to its
# compile time. A null dereference still stops the test with ASan's report, and x86 reads
# misaligned data correctly.
if(VANTOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=null,alignment
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# With VANTOR_SANITIZE_THREAD every target is built and linked with ThreadSanitizer instead.
if(VANTOR_SANITIZE_THREAD)
  if(VANTOR_SANITIZE)
    message(FATAL_ERROR "VANTOR_SANITIZE and VANTOR_SANITIZE_THREAD can't be combined")
  endif()
  # g++ warns that the sanitizer does not model standalone fences (the logger's copy-on-write
  # check has one); what it reports about them is checked by the run, not the compiler.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -Wno-tsan)
  add_link_options(-fsanitize=thread)
endif()

# With VANTOR_FUZZ every target is built for libFuzzer's coverage feedback, with ASan and UBSan;
# the fuzz targets alone link libFuzzer's driver (tests/fuzz).
if(VANTOR_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
