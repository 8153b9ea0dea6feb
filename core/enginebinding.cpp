#include "enginebinding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

EngineBinding::EngineBinding(QString fileName) : m_fileName(std::move(fileName)) {}

// The library stays loaded until the program ends; nothing is unloaded here,
// since a running pass may still hold the function's address.
EngineBinding::~EngineBinding() = default;

EngineFunction EngineBinding::resolve()
{
    if (m_function)
        return m_function;

    if (!m_handle) {
        // The program's own folder comes first. Otherwise the plain file name
        // goes to dlopen, called from the program itself, so that the
        // program's RUNPATH is searched.
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(m_fileName);
        const QString path =
            QFileInfo(m_fileName).isRelative() && QFileInfo::exists(beside) ? beside : m_fileName;
        m_handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!m_handle) {
            m_error = QString::fromLocal8Bit(dlerror());
            return nullptr;
        }
    }

    dlerror();
    void* symbol = dlsym(m_handle, "Engine");
    if (!symbol) {
        const char* reason = dlerror();
        m_error = reason ? QString::fromLocal8Bit(reason) : QStringLiteral("Engine is null");
        return nullptr;
    }
    m_error.clear();
    m_function = reinterpret_cast<EngineFunction>(symbol);
    return m_function;
}
