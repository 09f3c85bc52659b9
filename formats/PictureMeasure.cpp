#include "PictureMeasure.h"

#include "formats/PictureHeader.h"

#include <QIODevice>

namespace {

class DeviceBytes : public ByteSource
{
public:
    explicit DeviceBytes(QIODevice &device)
        : m_device(device)
    {
    }

    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        if (!m_device.seek(offset))
            return 0; // past the end
        return m_device.read(into, count);
    }

    QString errorString() const override { return m_device.errorString(); }
    qint64 size() const override { return m_device.size(); }

private:
    QIODevice &m_device;
};

} // namespace

Measurement measurePicture(QIODevice &device, const std::atomic<bool> *cancel)
{
    DeviceBytes bytes(device);
    return measurementOf(readPictureHeader(bytes, cancel), device.size());
}

Measurement measurementOf(const HeaderReading &reading, qint64 length)
{
    Measurement measurement;
    measurement.length = length;
    measurement.cancelled = reading.cancelled;
    if (reading.error.isEmpty())
        measurement.size = reading.size;
    else
        measurement.error = reading.error;
    return measurement;
}
