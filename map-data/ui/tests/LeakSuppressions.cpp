// The font library that Qt loads keeps its configuration for the life of the process;
// the leak checker of sanitizer builds is told so. Other builds never call this.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
