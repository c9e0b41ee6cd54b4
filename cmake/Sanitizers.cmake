# Checked builds, each in a build folder of its own (see the Makefile):
#   TETRAPAN_SANITIZE  everything built with AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer;
#                      any report stops the program, so a test that provokes one fails (make test-asan)
#   TETRAPAN_FUZZ      the same, plus the libFuzzer targets of fuzz/ (clang only; make fuzz)
#   TETRAPAN_TSAN      everything built with ThreadSanitizer; a data race stops the test that ran into it
#                      (make test-tsan, the tests whose threads meet)
option(TETRAPAN_SANITIZE "Build with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TETRAPAN_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)
option(TETRAPAN_TSAN "Build with ThreadSanitizer" OFF)

if(TETRAPAN_TSAN)
    if(TETRAPAN_SANITIZE OR TETRAPAN_FUZZ)
        message(FATAL_ERROR "ThreadSanitizer does not go with AddressSanitizer: build it in a folder of its own")
    endif()
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

if(TETRAPAN_SANITIZE OR TETRAPAN_FUZZ)
    # no recovery: undefined behaviour ends the program like a memory error instead of printing and going on
    # Only the checks cmake/ubsan.supp names are recoverable, so that a report inside Qt's headers can be
    # suppressed there; UBSAN_OPTIONS=halt_on_error=1 still stops at any such report not suppressed.
    set(TETRAPAN_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
        -fsanitize-recover=nonnull-attribute -fno-omit-frame-pointer)
    add_compile_options(${TETRAPAN_SANITIZER_FLAGS})
    add_link_options(${TETRAPAN_SANITIZER_FLAGS})
endif()

if(TETRAPAN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "the fuzz targets need clang's libFuzzer: configure with -DCMAKE_CXX_COMPILER=clang++-14")
    endif()
    # coverage feedback for the fuzzers in everything they reach of ours; libFuzzer's main only in the targets.
    # The vptr check is left to make test-asan: it makes the library's controllers need the type information of
    # the engine's Movie, which the fuzzers, linking the core layer alone, do not have.
    add_compile_options(-fsanitize=fuzzer-no-link -fno-sanitize=vptr)
endif()
