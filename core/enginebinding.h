// Binds the escape-time function Engine of the engine library at first use.
#pragma once

#include "engine.h"

#include <QString>

class EngineBinding {
public:
    // The engine's file name: libengine.so.
    static QString defaultFileName() { return QStringLiteral(QUENTHAR_ENGINE_FILE); }

    // fileName is the library's file name; it is looked up in the program's
    // own folder first, then by the system's loader.
    explicit EngineBinding(QString fileName = defaultFileName());
    ~EngineBinding();
    EngineBinding(const EngineBinding&) = delete;
    EngineBinding& operator=(const EngineBinding&) = delete;

    // Loads the library and resolves Engine the first time it is called;
    // later calls return the same address. Returns nullptr on failure, and
    // errorString() then says why.
    EngineFunction resolve();

    const QString& fileName() const { return m_fileName; }
    const QString& errorString() const { return m_error; }

private:
    QString m_fileName;
    QString m_error;
    void* m_handle = nullptr;
    EngineFunction m_function = nullptr;
};
