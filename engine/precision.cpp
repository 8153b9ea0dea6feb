// Loading the library sets the loading thread's floating-point precision to a
// 53-bit significand where doubles may be computed on the x87 unit (32-bit
// x86), whose default of 64 bits would round intermediates differently.
// On x86-64 and other targets doubles are computed in SSE2 or an equivalent
// unit at exactly 53 bits, and there is nothing to set.

#if defined(_WIN32) && defined(__i386__)

#include <float.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        _control87(_PC_53, _MCW_PC);
    return TRUE;
}

#elif defined(__i386__)

#include <fpu_control.h>

namespace {

__attribute__((constructor)) void setDoublePrecision()
{
    fpu_control_t word;
    _FPU_GETCW(word);
    word = (word & ~_FPU_EXTENDED) | _FPU_DOUBLE;
    _FPU_SETCW(word);
}

} // namespace

#endif
