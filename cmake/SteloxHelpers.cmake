# Helpers shared by the subsystem folders.
#
# All library sources go into the object library `stelox_objects`; the shared
# library `stelox` is linked from those objects, and the test executable links
# the same objects directly so it can reach internal (hidden) classes.

# stelox_sources(<files...>): adds baseline-compiled sources to the library.
function(stelox_sources)
  target_sources(stelox_objects PRIVATE ${ARGN})
endfunction()

# stelox_simd_sources(<isa> <files...>): adds sources compiled with the flags of
# one instruction-set level. Only these files get -m flags; the dispatchers stay
# baseline so a processor without the extension never executes it.
function(stelox_simd_sources isa)
  if(isa STREQUAL "sse2")
    set(flags -msse2)
  elseif(isa STREQUAL "ssse3")
    set(flags -mssse3)
  elseif(isa STREQUAL "sse41")
    set(flags -msse4.1)
  elseif(isa STREQUAL "avx2")
    set(flags -mavx2)
  elseif(isa STREQUAL "avx512bw")
    set(flags -mavx512bw)
  else()
    message(FATAL_ERROR "stelox_simd_sources: unknown instruction set '${isa}'")
  endif()
  target_sources(stelox_objects PRIVATE ${ARGN})
  set_source_files_properties(${ARGN} TARGET_DIRECTORY stelox_objects
                              PROPERTIES COMPILE_OPTIONS "${flags}")
endfunction()

# stelox_test_sources(<files...>): adds sources to the single test executable.
function(stelox_test_sources)
  target_sources(stelox_tests PRIVATE ${ARGN})
endfunction()

# stelox_link_libraries(<libs...>): private dependencies of the library. The
# object library carries them for the test executable, the shared library for
# its own link.
function(stelox_link_libraries)
  target_link_libraries(stelox_objects PUBLIC ${ARGN})
  target_link_libraries(stelox PRIVATE ${ARGN})
endfunction()
