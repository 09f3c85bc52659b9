#include "QtWarningsDropped.h"

#include "system/NativeName.h"

#include <QString>

#include <cstdio>

namespace {

// Keeps no state: decoding threads call it at any time.
void dropAllButFatal(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg)
        return;
    const QString line = QStringLiteral("vimbrel: %1\n").arg(NativeName::printable(qFormatLogMessage(type, context, message)));
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

QtWarningsDropped::QtWarningsDropped()
    : m_previous(qInstallMessageHandler(dropAllButFatal))
{
}

QtWarningsDropped::~QtWarningsDropped()
{
    qInstallMessageHandler(m_previous);
}
