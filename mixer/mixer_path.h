#pragma once
// Which mixing loops run. The AVX2 loops are used when the processor and the system support them;
// forcing the portable ones lets tests hold both to the same results on one machine.
void ForcePortableMixing(bool forced);
bool MixingUsesAvx2();
