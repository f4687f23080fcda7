# What the system offers, looked for when the build is configured; each
# missing call has a fallback in port/. OVARN_PORTABLE takes every fallback,
# so that a Linux machine builds and tests what FreeBSD and macOS run.
include(CheckSymbolExists)
include(CheckCXXSourceCompiles)

# Files past 4 GiB everywhere: every stat, open, lseek, pread and fseeko
# takes a 64-bit off_t. A 32-bit glibc system gives one only when asked
# (_FILE_OFFSET_BITS=64); the other systems give one as they are.
set(OVARN_OFF_T_CHECK [=[
  #include <sys/types.h>
  static_assert(sizeof(off_t) >= 8, "32-bit file offsets");
  int main() { return 0; }
]=])
check_cxx_source_compiles("${OVARN_OFF_T_CHECK}" HAVE_WIDE_OFF_T)
if(NOT HAVE_WIDE_OFF_T)
  set(CMAKE_REQUIRED_DEFINITIONS -D_FILE_OFFSET_BITS=64)
  check_cxx_source_compiles("${OVARN_OFF_T_CHECK}" HAVE_WIDE_OFF_T_ASKED)
  unset(CMAKE_REQUIRED_DEFINITIONS)
  if(NOT HAVE_WIDE_OFF_T_ASKED)
    message(FATAL_ERROR "this system offers no 64-bit off_t: files past 2 GiB could not be read")
  endif()
  add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

set(OVARN_CHECKS MREMAP MADV_HUGEPAGE MALLOPT GETRANDOM GETENTROPY FWRITE_UNLOCKED X86_VECTORS
    X86_64_VECTORS WIDE_SUM)
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
  # The x86 vector code that 32-bit x86 has as well: AVX2 with BMI, the
  # CRC-32C instruction on 32-bit words, and the run-time probe.
  check_cxx_source_compiles([=[
    #include <immintrin.h>
    __attribute__((target("avx2,bmi"))) int f(const void* p, unsigned c) {
      __m256i v = _mm256_loadu_si256(static_cast<const __m256i*>(p));
      return _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(10))) + __builtin_ctz(c);
    }
    __attribute__((target("sse4.2"))) unsigned g(unsigned c) { return _mm_crc32_u32(c, 1); }
    int main() { return __builtin_cpu_supports("avx2") ? 0 : 1; }
  ]=] HAVE_X86_VECTOR_CODE)
  # The forms that only x86-64 has: 64-bit lanes moved to and from the
  # general registers, the CRC-32C of 64-bit words, 512-bit vectors with
  # 64-bit masks, and SSE2 in every processor.
  check_cxx_source_compiles([=[
    #include <immintrin.h>
    #include <cstdint>
    __attribute__((target("avx512f,avx512bw,bmi"))) int f(const void* p) {
      return static_cast<int>(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), _mm512_set1_epi8(10)));
    }
    __attribute__((target("sse4.2"))) uint64_t g(uint64_t c, __m128i v) {
      return _mm_crc32_u64(c, 1) + static_cast<uint64_t>(_mm_cvtsi128_si64(v));
    }
    #ifndef __SSE2__
    #error "SSE2 is not in every processor of this target"
    #endif
    int main() { return 0; }
  ]=] HAVE_X86_64_VECTOR_CODE)
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
  ovarn_have(X86_64_VECTORS HAVE_X86_VECTOR_CODE AND HAVE_X86_64_VECTOR_CODE)
  ovarn_have(WIDE_SUM HAVE_UNSIGNED_INT128)
endif()
configure_file(${CMAKE_SOURCE_DIR}/port/port_config.h.in
               ${CMAKE_BINARY_DIR}/generated/port_config/port/port_config.h @ONLY)
