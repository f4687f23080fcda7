// The one processor probe. Vector code runs only where the build has it
// (x86, AVX-512 on x86-64 only; not the portable build) and the processor
// has the instructions.
#ifndef OVARN_PORT_CPU_H_
#define OVARN_PORT_CPU_H_

enum class cpu_feature {
  avx2_bmi,    // 256-bit integer vectors and the bit-manipulation set
  avx512_bw,   // 512-bit vectors with byte and word lanes (and all of the above)
  sse42_crc,   // the CRC-32C instruction
};

// Asked once per feature; the answer is kept for the rest of the process.
bool cpu_has(cpu_feature feature);

#endif  // OVARN_PORT_CPU_H_
