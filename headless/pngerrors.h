// How the PNG reader and writer take libpng's errors: libpng reports an error
// by longjmp to the setjmp of the call that met it, with the first reason met
// kept in the QString given as libpng's error pointer (a device's own reason
// may have come first). Warnings change nothing of what is read or written.
#pragma once

#include <QString>

#include <png.h>

inline void keepPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<QString*>(png_get_error_ptr(png));
    if (error->isEmpty())
        *error = QString::fromUtf8(message);
    png_longjmp(png, 1);
}

inline void ignorePngWarning(png_structp, png_const_charp) {}
