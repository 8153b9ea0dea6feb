// Loading the library sets the loading thread's floating-point precision to a
// 53-bit significand where doubles may be computed on the x87 unit (32-bit
// x86), whose default of 64 bits would round intermediates differently.
// On x86-64 and other targets doubles are computed in SSE2 or an equivalent
// unit at exactly 53 bits, and there is nothing to set.

#if defined(_WIN32) && defined(__i386__)

#include <windows.h>

// engine.dll is linked without the C runtime: this is its entry point (named
// to the linker in CMakeLists.txt). On the process attach, which runs on the
// loading thread, it sets the x87 precision control, bits 8 and 9 of the
// control word, to 10b: a 53-bit significand. Other threads keep their own.
extern "C" BOOL WINAPI EngineDllEntry(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        unsigned short word;
        __asm__ volatile("fnstcw %0" : "=m"(word));
        word = static_cast<unsigned short>((word & ~0x300u) | 0x200u);
        __asm__ volatile("fldcw %0" : : "m"(word));
    }
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
