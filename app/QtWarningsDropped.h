#pragma once

#include <QtGlobal>

/**
 * While it lives, Qt's own messages (a JPEG decoder's complaint about a
 * truncated picture, from any thread) are dropped, so that none breaks into
 * the lines of a command-line report; the report itself names each picture
 * left off and why. A fatal message is still printed, as the last line before
 * Qt ends the process.
 */
class QtWarningsDropped
{
public:
    QtWarningsDropped();
    ~QtWarningsDropped();
    Q_DISABLE_COPY_MOVE(QtWarningsDropped)

private:
    QtMessageHandler m_previous;
};
