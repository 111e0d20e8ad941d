# With VANTOR_SANITIZE every target is built and linked with ASan and UBSan; any report fails.
if(VANTOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
