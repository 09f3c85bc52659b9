#include "ToolkitOptions.h"

#include <array>

namespace ToolkitOptions {

namespace {

// Those of QGuiApplication, QApplication and the X11 platform plugin, past
// and present: an option an older Qt knew is still no folder name.
constexpr std::array<QLatin1String, 18> withValue = {
    QLatin1String("platform"),       QLatin1String("platformpluginpath"), QLatin1String("platformtheme"),
    QLatin1String("plugin"),         QLatin1String("qmljsdebugger"),      QLatin1String("style"),
    QLatin1String("stylesheet"),     QLatin1String("session"),            QLatin1String("display"),
    QLatin1String("geometry"),       QLatin1String("title"),              QLatin1String("name"),
    QLatin1String("visual"),         QLatin1String("ncols"),              QLatin1String("graphicssystem"),
    QLatin1String("qwindowgeometry"), QLatin1String("qwindowtitle"),      QLatin1String("qwindowicon"),
};
constexpr std::array<QLatin1String, 5> flags = {
    QLatin1String("reverse"), QLatin1String("widgetcount"), QLatin1String("nograb"),
    QLatin1String("dograb"),  QLatin1String("cmap"),
};

enum class Kind { NotQt, Flag, ValueFollows, ValueJoined };

struct Option {
    Kind kind = Kind::NotQt;
    QString name;
    QString value; // of -name=value
};

// Qt takes its options with one dash or two.
QString withoutDashes(const QString &argument)
{
    if (argument.startsWith(QLatin1String("--")))
        return argument.mid(2);
    if (argument.startsWith(QLatin1Char('-')))
        return argument.mid(1);
    return {};
}

Option recognise(const QString &argument)
{
    const QString bare = withoutDashes(argument);
    if (bare.isEmpty())
        return {};
    const qsizetype equals = bare.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? bare : bare.left(equals);
    for (QLatin1String known : withValue) {
        if (name == known)
            return {equals < 0 ? Kind::ValueFollows : Kind::ValueJoined, name, equals < 0 ? QString() : bare.mid(equals + 1)};
    }
    for (QLatin1String known : flags) {
        if (bare == known)
            return {Kind::Flag, name, {}};
    }
    return {};
}

constexpr QLatin1String endOfOptions("--");

} // namespace

QStringList removed(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (i > 0 && argument == endOfOptions) {
            kept += arguments.mid(i);
            break;
        }
        const Option option = i > 0 ? recognise(argument) : Option{};
        if (option.kind == Kind::NotQt)
            kept.append(argument);
        else if (option.kind == Kind::ValueFollows && i + 1 < arguments.size())
            ++i; // Qt takes the next argument as the value, whatever it looks like
    }
    return kept;
}

QString value(const QStringList &arguments, const QString &name)
{
    QString found;
    for (qsizetype i = 1; i < arguments.size() && arguments.at(i) != endOfOptions; ++i) {
        const Option option = recognise(arguments.at(i));
        QString given = option.value;
        if (option.kind == Kind::ValueFollows && i + 1 < arguments.size())
            given = arguments.at(++i);
        if (option.name == name && option.kind != Kind::Flag)
            found = given;
    }
    return found; // the last one given wins, as in Qt
}

} // namespace ToolkitOptions
