# What the system offers, looked for when the build is configured; each
# missing call has a fallback in port/. OVARN_PORTABLE takes every fallback,
# so that a Linux machine builds and tests what FreeBSD and macOS run.
include(CheckSymbolExists)
include(CheckCXXSourceCompiles)

set(OVARN_CHECKS MREMAP MADV_HUGEPAGE MALLOPT GETRANDOM GETENTROPY FWRITE_UNLOCKED X86_VECTORS WIDE_SUM)
if(OVARN_PORTABLE)
  foreach(check IN LISTS OVARN_CHECKS)
    set(OVARN_HAVE_${check} 0)
  endforeach()
else()
  set(CMAKE_REQUIRED_DEFINITIONS -D_GNU_SOURCE)
  check_symbol_exists(mremap "sys/mman.h" HAVE_MREMAP_CALL)
  check_symbol_exists(MREMAP_FIXED "sys/mman.h" HAVE_MREMAP_FIXED)
  check_symbol_exists(MADV_HUGEPAGE "sys/mman.h" HAVE_MADV_HUGEPAGE)
  check_symbol_exists(mallopt "malloc.h" HAVE_MALLOPT)
  check_symbol_exists(M_MMAP_THRESHOLD "malloc.h" HAVE_M_MMAP_THRESHOLD)
  check_symbol_exists(getrandom "sys/random.h" HAVE_GETRANDOM)
  check_symbol_exists(getentropy "unistd.h" HAVE_GETENTROPY)
  check_symbol_exists(fwrite_unlocked "stdio.h" HAVE_FWRITE_UNLOCKED)
  unset(CMAKE_REQUIRED_DEFINITIONS)
  check_cxx_source_compiles([=[
    #include <immintrin.h>
    __attribute__((target("avx512f,avx512bw,bmi"))) int f(const void* p) {
      return static_cast<int>(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), _mm512_set1_epi8(10)));
    }
    int main() { return __builtin_cpu_supports("avx2") ? 0 : 1; }
  ]=] HAVE_X86_VECTOR_CODE)
  check_cxx_source_compiles([=[
    #include <cstdint>
    int main(int argc, char**) {
      unsigned __int128 sum = static_cast<unsigned __int128>(~uint64_t{0}) + static_cast<unsigned>(argc);
      return static_cast<int>(sum >> 64);
    }
  ]=] HAVE_UNSIGNED_INT128)
  macro(ovarn_have name)
    if(${ARGN})
      set(OVARN_HAVE_${name} 1)
    else()
      set(OVARN_HAVE_${name} 0)
    endif()
  endmacro()
  ovarn_have(MREMAP HAVE_MREMAP_CALL AND HAVE_MREMAP_FIXED)
  ovarn_have(MADV_HUGEPAGE HAVE_MADV_HUGEPAGE)
  ovarn_have(MALLOPT HAVE_MALLOPT AND HAVE_M_MMAP_THRESHOLD)
  ovarn_have(GETRANDOM HAVE_GETRANDOM)
  ovarn_have(GETENTROPY HAVE_GETENTROPY)
  ovarn_have(FWRITE_UNLOCKED HAVE_FWRITE_UNLOCKED)
  ovarn_have(X86_VECTORS HAVE_X86_VECTOR_CODE)
  ovarn_have(WIDE_SUM HAVE_UNSIGNED_INT128)
endif()
configure_file(${CMAKE_SOURCE_DIR}/port/port_config.h.in
               ${CMAKE_BINARY_DIR}/generated/port_config/port/port_config.h @ONLY)
