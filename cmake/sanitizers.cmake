# With VANTOR_SANITIZE every target is built and linked with ASan and UBSan; any report fails.
if(VANTOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# With VANTOR_FUZZ every target is built for libFuzzer's coverage feedback, with ASan and UBSan;
# the fuzz targets alone link libFuzzer's driver (tests/fuzz).
if(VANTOR_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
