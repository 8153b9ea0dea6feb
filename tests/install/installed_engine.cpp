// Installed next to the program, binds Engine the way the program does (by
// file name, through the program's binding) and prints the file the loader
// took, then checks a few counts of the default view through it.
#include "enginebinding.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <dlfcn.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    EngineBinding binding;
    const EngineFunction engine = binding.resolve();
    if (!engine) {
        std::fprintf(stderr, "Engine is not bound: %s\n", qPrintable(binding.errorString()));
        return 1;
    }

    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(engine), &info) || !info.dli_fname) {
        std::fprintf(stderr, "dladdr does not know Engine\n");
        return 1;
    }
    std::printf("%s\n",
                qPrintable(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath()));

    struct Worked {
        int32_t col, row, count;
    };
    const Worked worked[] = {{0, 0, 1},       {320, 0, 2},      {0, 240, 3},
                             {320, 240, 150}, {422, 195, 1024}, {346, 93, 1025}};
    int failures = 0;
    for (const Worked& w : worked) {
        const int32_t n = engine(w.col, w.row, 640.0 / 3.0, 160.0, -1.5, -1.5);
        if (n != w.count) {
            std::fprintf(stderr, "(%d, %d) gave %d, expected %d\n", w.col, w.row, n, w.count);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
