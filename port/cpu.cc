#include "port/cpu.h"

#include "port/port_config.h"

bool cpu_has(cpu_feature feature) {
#if OVARN_HAVE_X86_VECTORS
  // Cached probes: the processor does not change under a running process.
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
#if OVARN_HAVE_X86_64_VECTORS
  static const bool avx512 =
      avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
  // The 512-bit code is built for x86-64 only.
  constexpr bool avx512 = false;
#endif
  static const bool crc = __builtin_cpu_supports("sse4.2");
  switch (feature) {
    case cpu_feature::avx2_bmi: return avx2;
    case cpu_feature::avx512_bw: return avx512;
    case cpu_feature::sse42_crc: return crc;
  }
#else
  (void)feature;
#endif
  return false;
}
