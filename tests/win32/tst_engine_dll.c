/* Loads engine.dll the way a 32-bit Windows caller does, by file name through
 * LoadLibrary and GetProcAddress, and checks its export and import tables, its
 * calling convention, the precision its loading sets, the counts it computes
 * and that it still computes them when loaded away from its preferred
 * address. */
#include <windows.h>

#include <float.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

/* The caller's own declaration: a caller sees nothing but the DLL. */
typedef int32_t(__stdcall* EngineProc)(int32_t, int32_t, double, double, double, double);

static int failures;

static void check(int ok, const char* what)
{
    printf("%s - %s\n", ok ? "ok" : "FAIL", what);
    if (!ok)
        ++failures;
}

static unsigned precision(void)
{
    return _control87(0, 0) & _MCW_PC;
}

static const char* precisionName(unsigned pc)
{
    return pc == _PC_24 ? "24-bit" : pc == _PC_53 ? "53-bit" : pc == _PC_64 ? "64-bit" : "?";
}

/* The PE headers of a loaded image. */
static const IMAGE_NT_HEADERS32* ntHeaders(HMODULE module)
{
    const BYTE* base = (const BYTE*)module;
    return (const IMAGE_NT_HEADERS32*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
}

/* The export directory of the loaded image: one function, named "Engine",
 * at ordinal 1, and the DLL's own name "engine.dll". */
static void checkExports(HMODULE module, FARPROC byName)
{
    const BYTE* base = (const BYTE*)module;
    const IMAGE_DATA_DIRECTORY* dir =
        &ntHeaders(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_EXPORT_DIRECTORY* exports =
        (const IMAGE_EXPORT_DIRECTORY*)(base + dir->VirtualAddress);
    const DWORD* functions = (const DWORD*)(base + exports->AddressOfFunctions);
    const DWORD* names = (const DWORD*)(base + exports->AddressOfNames);
    const WORD* nameOrdinals = (const WORD*)(base + exports->AddressOfNameOrdinals);

    printf("exports of %s: %lu function(s), %lu name(s), ordinal base %lu\n",
           (const char*)(base + exports->Name), (unsigned long)exports->NumberOfFunctions,
           (unsigned long)exports->NumberOfNames, (unsigned long)exports->Base);
    check(_stricmp((const char*)(base + exports->Name), "engine.dll") == 0,
          "the export directory names engine.dll");
    check(exports->NumberOfFunctions == 1 && exports->NumberOfNames == 1,
          "exactly one export, with one name");
    if (exports->NumberOfFunctions != 1 || exports->NumberOfNames != 1)
        return;
    printf("  ordinal %lu: %s\n", (unsigned long)(exports->Base + nameOrdinals[0]),
           (const char*)(base + names[0]));
    check(strcmp((const char*)(base + names[0]), "Engine") == 0, "its name is Engine, undecorated");
    check(exports->Base + nameOrdinals[0] == 1, "its ordinal is 1");
    check((uintptr_t)(base + functions[0]) == (uintptr_t)byName,
          "the table's address is GetProcAddress's");
}

/* The engine is linked without the C runtime and calls nothing outside
 * itself: the image has no import directory at all. */
static void checkNoImports(HMODULE module)
{
    const IMAGE_DATA_DIRECTORY* dir =
        &ntHeaders(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];

    printf("import directory: RVA 0x%lx, %lu bytes\n", (unsigned long)dir->VirtualAddress,
           (unsigned long)dir->Size);
    check(dir->VirtualAddress == 0 && dir->Size == 0, "it imports nothing, not even the C runtime");
}

/* One call built by hand: the stack pointer is first moved down by `pad`
 * bytes (to call from every 4-byte alignment), the ten argument words are
 * pushed with the first argument at the lowest address, and after the call
 * `leftover` is how many of their bytes are still on the stack. */
struct StackCall {
    EngineProc fn;      /* offset 0 */
    uint32_t pad;       /* 4 */
    uint32_t words[10]; /* 8 to 44 */
    int32_t result;     /* 48 */
    int32_t leftover;   /* 52 */
};

/* noipa: callers must assume the call clobbers every caller-saved register,
 * as the asm does not list the SSE ones. */
static __attribute__((noipa)) void callByHand(struct StackCall* call)
{
    __asm__ volatile("movl %%esp, %%ebx\n\t"
                     "subl 4(%%esi), %%esp\n\t"
                     "pushl 44(%%esi)\n\t"
                     "pushl 40(%%esi)\n\t"
                     "pushl 36(%%esi)\n\t"
                     "pushl 32(%%esi)\n\t"
                     "pushl 28(%%esi)\n\t"
                     "pushl 24(%%esi)\n\t"
                     "pushl 20(%%esi)\n\t"
                     "pushl 16(%%esi)\n\t"
                     "pushl 12(%%esi)\n\t"
                     "pushl 8(%%esi)\n\t"
                     "call *(%%esi)\n\t"
                     "movl %%eax, 48(%%esi)\n\t"
                     "movl %%ebx, %%eax\n\t"
                     "subl 4(%%esi), %%eax\n\t"
                     "subl %%esp, %%eax\n\t"
                     "movl %%eax, 52(%%esi)\n\t"
                     "movl %%ebx, %%esp\n\t"
                     :
                     : "S"(call)
                     : "eax", "ebx", "ecx", "edx", "memory", "cc");
}

static int32_t engineByHand(EngineProc fn, uint32_t pad, int32_t col, int32_t row, double scaleX,
                            double scaleY, double left, double top, int32_t* leftover)
{
    struct StackCall call;
    const double doubles[4] = {scaleX, scaleY, left, top};
    call.fn = fn;
    call.pad = pad;
    memcpy(&call.words[0], &col, 4);
    memcpy(&call.words[1], &row, 4);
    memcpy(&call.words[2], doubles, sizeof doubles);
    call.result = call.leftover = -1;
    callByHand(&call);
    *leftover = call.leftover;
    return call.result;
}

static const double defaultScaleX = 640.0 / 3.0;
static const double defaultScaleY = 160.0;

static void checkWorkedValues(EngineProc fn)
{
    static const struct {
        int32_t col, row, count;
    } worked[] = {{0, 0, 1},       {320, 0, 2},      {0, 240, 3},
                  {320, 240, 150}, {422, 195, 1024}, {346, 93, 1025}};
    uint32_t pad;
    size_t i;

    check(defaultScaleX == 213.33333333333334, "640 / 3 is the double 213.33333333333334");
    for (pad = 0; pad < 16; pad += 4) {
        int ok = 1, popped = 1;
        for (i = 0; i < sizeof worked / sizeof worked[0]; ++i) {
            int32_t leftover;
            const int32_t n = engineByHand(fn, pad, worked[i].col, worked[i].row, defaultScaleX,
                                           defaultScaleY, -1.5, -1.5, &leftover);
            if (n != worked[i].count) {
                printf("  (%ld, %ld) gave %ld, expected %ld\n", (long)worked[i].col,
                       (long)worked[i].row, (long)n, (long)worked[i].count);
                ok = 0;
            }
            if (leftover != 0) {
                printf("  %ld bytes of arguments left on the stack\n", (long)leftover);
                popped = 0;
            }
        }
        printf("stack moved down by %lu bytes before the call:\n", (unsigned long)pad);
        check(ok, "  the six worked values of the default view");
        check(popped, "  the callee removed its 40 bytes of arguments");
    }
}

/* The counts of the default view must not depend on the x87 precision of
 * the calling thread: the engine computes in SSE2 registers. */
static void checkDefaultView(EngineProc fn, unsigned pc)
{
    long ones = 0, caps = 0, lastTests = 0, outOfRange = 0;
    long long sum = 0;
    int32_t row, col;
    char what[96];

    _control87(pc, _MCW_PC);
    for (row = 0; row < 480; ++row) {
        for (col = 0; col < 640; ++col) {
            const int32_t n = fn(col, row, defaultScaleX, defaultScaleY, -1.5, -1.5);
            sum += n;
            ones += n == 1;
            caps += n == 1025;
            lastTests += n == 1024;
            outOfRange += n < 1 || n > 1025;
        }
    }
    printf("default view at %s x87 precision: %ld ones, %ld at 1025, %ld at 1024, sum %lld\n",
           precisionName(pc), ones, caps, lastTests, sum);
    snprintf(what, sizeof what, "  all 307200 counts of the default view (%s)", precisionName(pc));
    check(ones == 2043 && caps == 2635 && lastTests == 4 && outOfRange == 0 && sum == 12126651LL,
          what);
}

/* Unloads the DLL and loads it again with the address range it had reserved by
 * this program: the loader must move it by its base relocations (the engine
 * reads its constants at absolute addresses), and the counts must not change. */
static void checkRelocatedLoad(HMODULE first)
{
    const SIZE_T size = ntHeaders(first)->OptionalHeader.SizeOfImage;
    void* taken;
    HMODULE module;
    FARPROC byName;

    FreeLibrary(first);
    taken = VirtualAlloc((void*)first, size, MEM_RESERVE, PAGE_NOACCESS);
    check(taken == (void*)first, "once unloaded, its address range can be reserved");
    module = LoadLibraryA("engine.dll");
    printf("loaded again at %p, first at %p\n", (void*)module, (void*)first);
    check(module != NULL && module != first, "with that range taken it loads elsewhere");
    if (module != NULL && module != first) {
        byName = GetProcAddress(module, "Engine");
        check(byName != NULL, "GetProcAddress(\"Engine\") in the moved image");
        if (byName)
            checkWorkedValues((EngineProc)(void (*)(void))byName);
    }
    if (module)
        FreeLibrary(module);
    if (taken)
        VirtualFree(taken, 0, MEM_RELEASE);
}

int main(void)
{
    HMODULE module;
    FARPROC byName, byOrdinal;
    EngineProc fn;

    setvbuf(stdout, NULL, _IONBF, 0);

    /* Loading must leave this thread at 53 bits, from whatever it was. */
    _control87(_PC_64, _MCW_PC);
    check(precision() == _PC_64, "the thread runs at 64-bit x87 precision before loading");
    module = LoadLibraryA("engine.dll");
    check(module != NULL, "LoadLibrary(\"engine.dll\")");
    if (!module) {
        printf("  error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    printf("x87 precision after loading: %s\n", precisionName(precision()));
    check(precision() == _PC_53, "loading set the thread's precision to a 53-bit significand");

    byName = GetProcAddress(module, "Engine");
    byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(1));
    check(byName != NULL, "GetProcAddress(\"Engine\")");
    check(byOrdinal == byName, "ordinal 1 is Engine");
    check(GetProcAddress(module, "Engine@40") == NULL &&
              GetProcAddress(module, "_Engine@40") == NULL,
          "no decorated name is exported");
    if (!byName)
        return 1;
    checkExports(module, byName);
    checkNoImports(module);

    fn = (EngineProc)(void (*)(void))byName;
    checkWorkedValues(fn);
    checkDefaultView(fn, _PC_53);
    checkDefaultView(fn, _PC_64);
    checkDefaultView(fn, _PC_24);

    checkRelocatedLoad(module);
    printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}
