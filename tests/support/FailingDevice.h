#pragma once

#include <QIODevice>

namespace tetrapan::test {

// A device that accepts a number of writes and then fails every one after, like a disk that fills up.
class FailingDevice final : public QIODevice {
public:
    explicit FailingDevice(int writesBeforeFailure) : remaining_(writesBeforeFailure) {}

    QByteArray written() const { return written_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (remaining_-- <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        // accept part of it, as a filling disk does
        const qint64 taken = std::min<qint64>(size, 4096);
        written_.append(data, taken);
        return taken;
    }

private:
    int remaining_;
    QByteArray written_;
};

} // namespace tetrapan::test
