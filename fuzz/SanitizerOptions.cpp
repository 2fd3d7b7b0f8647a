// AddressSanitizer's defaults for every fuzz target. Its quarantine of freed blocks (256 MiB
// by default) counts in the process's resident memory, which libFuzzer caps at 512 MiB: a
// target that frees many large buffers, such as decoded images under the pixel cap, would
// end in an out-of-memory report that no single input causes. A smaller quarantine still
// catches a use of a block freed within the last few inputs.

extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=64";
}
