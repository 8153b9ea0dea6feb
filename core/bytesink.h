// Where a stream of bytes goes: a file written whole or not at all, or memory.
#pragma once

#include <QByteArray>
#include <QString>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False on failure; errorString() then says why.
    virtual bool write(const char* data, qsizetype size) = 0;
    virtual QString errorString() const = 0;
};

// The bytes kept in memory, for a picture passed on whole (a movie's frame on
// its way to the video).
class MemorySink : public ByteSink {
public:
    bool write(const char* data, qsizetype size) override
    {
        m_bytes.append(data, size);
        return true;
    }
    QString errorString() const override { return {}; }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};
