#pragma once

// Stand-ins for the window's outside services, so window tests never block
// on a modal box, never beep, and never touch the user's settings.

#include "app/MessageBoxes.h"
#include "platform/Beeper.h"

#include <QList>
#include <QString>
#include <QWidget>

/** Records each box instead of showing it. */
class RecordingBoxes : public MessageBoxes
{
public:
    struct Box {
        Icon icon;
        QString title;
        QString text;
        bool generateEnabled = false; // the state of Command1 while the box was up
    };

    void show(QWidget *parent, Icon icon, const QString &title, const QString &text) override
    {
        Box box{icon, title, text};
        if (const QWidget *command1 = parent ? parent->findChild<QWidget *>(QStringLiteral("Command1")) : nullptr)
            box.generateEnabled = command1->isEnabled();
        boxes.append(box);
    }

    QList<Box> boxes;
};

/** Counts beeps. */
class CountingBeeper : public Beeper
{
public:
    void beep() override { ++beeps; }
    int beeps = 0;
};
