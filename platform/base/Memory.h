#pragma once
// How the process keeps the memory it frees. An export builds and frees
// hundreds of picture buffers of a few hundred KiB; by default the allocator
// hands the top of its heap back to the system as soon as it is free, and
// the next buffers then cost one page fault per 4 KiB on first touch. On a
// busy virtual machine those faults outweighed the export's own work (about
// two thousand per export of a 728 x 90 banner, two thirds of its build
// time), so the program keeps some freed memory for the next buffers.

// Keeps up to 64 MiB of freed heap for reuse instead of returning it to the
// system. Called once at start-up, before pictures are made; harmless
// elsewhere and where the allocator has no such setting.
void KeepFreedMemory();
