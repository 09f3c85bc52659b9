#include "PictureMeasure.h"

#include "formats/PictureHeader.h"

#include <QIODevice>

qint64 DeviceBytes::readAt(qint64 offset, char *into, qint64 count)
{
    if (!m_device.seek(offset))
        return 0; // past the end
    return m_device.read(into, count);
}

QString DeviceBytes::errorString() const
{
    return m_device.errorString();
}

qint64 DeviceBytes::size() const
{
    return m_device.size();
}

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
