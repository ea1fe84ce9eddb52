# VANTREL_SANITIZE builds every target with sanitizers: "address,undefined"
# (the asan preset) or "thread" (the tsan preset). A finding stops the test
# that made it (-fno-sanitize-recover), so CTest reports it as a failure.

set(VANTREL_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")

if(VANTREL_SANITIZE)
  add_compile_options(-fsanitize=${VANTREL_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${VANTREL_SANITIZE})
endif()
